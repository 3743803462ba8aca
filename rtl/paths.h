#pragma once
// File-system paths from and to the program's 8-bit text, which is UTF-8 everywhere.
//
// std::filesystem::path built from a plain std::string reads it in the system's narrow code
// page on Windows (and the narrow file functions do the same), so a folder named with
// characters outside that code page (a user's temporary folder under "Łukasz") would name a
// different file or none. These go through the UTF-8 forms instead; elsewhere they change
// nothing.

#include <filesystem>
#include <string>

namespace tavo::rtl {

std::filesystem::path PathFromUtf8(const std::string& text);
std::string Utf8FromPath(const std::filesystem::path& path);

}  // namespace tavo::rtl
