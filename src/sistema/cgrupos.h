// What the files of a Linux system say about the limits a process lives
// under, read below a root ("/" for the machine itself) so that tests can
// lay out their own. sistema/plataforma.cpp asks them on Linux.
#pragma once

#include <string>
#include <vector>

// A folder of a control group whose memory limit covers the process: the
// files of its limit, its use and its statistics.
struct CarpetaDeLimite {
  std::string limite;
  std::string uso;
  std::string estadistica;
};

// Where the process's memory figures are read: meminfo, and the folders of
// its control group and of the parents whose limits cover it (v2 and v1),
// nearest first. Which group a process is in, and which folders limit it,
// seldom change; the figures change all the time.
struct LugaresDeMemoria {
  std::string meminfo;
  std::vector<CarpetaDeLimite> carpetas;
};

// The places of the process's memory figures under raiz.
LugaresDeMemoria lugaresDeMemoria(const std::string& raiz);

// Available memory plus free swap (meminfo), within the tightest memory
// limit of the folders, each group's file pages counted as free; negative
// when meminfo does not say.
double memoriaEn(const LugaresDeMemoria& lugares);

// memoriaEn of the places found under raiz now.
double memoriaDeLosArchivos(const std::string& raiz);

// The processors the CPU quota of the process's control group and its
// parents give, rounded up; large when no group sets a quota.
double cuotaDeLosArchivos(const std::string& raiz);
