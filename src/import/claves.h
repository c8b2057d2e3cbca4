// When two names in the analysts' files are one name typed twice.
#pragma once

#include <string>
#include <string_view>

// The key two spellings of a name share when they differ only in case
// (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic), in blanks at the ends
// or repeated (spaces, tabs, no-break and other Unicode spaces count as
// blanks), in invisible characters (zero-width spaces and joiners, the word
// joiner, a byte-order mark, a soft hyphen), or in how an accented Latin
// letter of U+00C0–U+024F is encoded (precomposed, NFC, or letter and
// combining marks, NFD). nombre is valid UTF-8.
std::string claveDeNombre(std::string_view nombre);
