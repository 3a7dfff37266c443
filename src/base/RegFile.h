#pragma once

#include "base/RegHive.h"
#include "base/RegRoot.h"

#include <map>
#include <string>
#include <string_view>

namespace tarnwick
{

// The REGEDIT4 text format of the registry store and of the Windows fixtures.
//
// The file is UTF-8 (a file that is not valid UTF-8 is taken as a GB2312/GB18030
// export from Windows and decoded). Values are written as:
//   "name"="text"            REG_SZ (\\ and \" escaped)
//   "name"=hex(1):..         REG_SZ holding CR, LF or NUL, which a quoted line cannot
//   "name"=hex(2):..         REG_EXPAND_SZ: UTF-8 bytes, NUL-terminated
//   "name"=dword:0000002a    REG_DWORD
//   "name"=hex(7):..         REG_MULTI_SZ: UTF-8 strings, each NUL-terminated, closing NUL
//   "name"=hex:.. / hex(N):  any other type, raw bytes
//   @=...                    the key's default value
// Long hex lines are wrapped with a trailing backslash as regedit does. Lines
// end in LF when written; CRLF (a Windows export) is read as well.
// Comment lines (";") and blank lines are allowed; deletions ("[-key]",
// "name"=-) are not, since a store file holds state, not changes.
using RegFileContent = std::map<RegRoot, RegHive>;

// Parses a whole file. Throws StoreFileError naming `fileName` and the line.
RegFileContent parseRegFile(std::string_view bytes, std::string_view fileName);

// Writes one root's keys as a REGEDIT4 file, keys and values in hive order.
std::string formatRegFile(RegRoot root, const RegHive& hive);

} // namespace tarnwick
