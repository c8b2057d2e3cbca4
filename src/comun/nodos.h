// nodes.txt: node k's name on line k + 1 (LF or CR LF), as clearing-import
// writes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// No file: true, and nombres stays empty. A file must hold exactly n names.
bool leeNombres(const char* ruta, std::int32_t n, std::vector<std::string>& nombres,
                std::string& error);

// What keeps a name out of nodes.txt, which holds one name per line in
// UTF-8 ("name is empty", "name contains a line break", "name contains a
// NUL byte", "name is not valid UTF-8"), or nullptr for a good name.
const char* faltaDeNombre(const std::string& nombre);

// The name to show: the node's name, or its number when there are no names.
std::string nombreVisible(const std::vector<std::string>& nombres, std::int32_t i);
