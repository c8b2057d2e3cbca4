// What the files of a Linux system say about the limits a process lives
// under, read below a root ("/" for the machine itself) so that tests can
// lay out their own. base/plataforma.cpp asks them on Linux.
#pragma once

#include <string>

// Available memory plus free swap (/proc/meminfo), within the tightest
// memory limit of the process's control group and its parents (v2 and v1),
// the group's file pages counted as free; negative when meminfo does not say.
double memoriaDeLosArchivos(const std::string& raiz);

// The processors the CPU quota of the process's control group and its
// parents give, rounded up; large when no group sets a quota.
double cuotaDeLosArchivos(const std::string& raiz);
