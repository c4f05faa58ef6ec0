#pragma once
// UTF-8, the core's text, to and from the system's UTF-16.
#include <string>
#include <string_view>

namespace qm {

std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);
// The full path of this program's own file.
std::wstring ModuleFileName();
// The arguments this program was started with, after its own name, as
// UTF-8: the wide command line, so that no character is lost to the ANSI
// code page.
std::string CommandLineArguments();
// The folder of a path: everything before its last "\" or "/".
std::string FolderOf(const std::string& path);
// The system's own words for an error code, in the user's language and
// without the line break at the end; the number when it has none.
std::string SystemErrorText(unsigned long code);

}  // namespace qm
