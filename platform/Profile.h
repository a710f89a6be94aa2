#pragma once
// The Windows private-profile calls over our INI layer (CProfile): each call reads the file
// afresh, and each write replaces it atomically. An empty path names no file.

#include <cstdint>
#include <string>

// The value of the key; defaultValue when the path is empty, the file or the key is missing, or
// the file cannot be read. Values have no length limit.
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& path);
// The key's value as an integer (leading sign and digits, else 0); defaultValue when the key is
// missing or empty, as for GetPrivateProfileString.
int32_t GetPrivateProfileInt(const std::string& section, const std::string& key,
                             int32_t defaultValue, const std::string& path);
// Sets the key (a null value removes it) and rewrites the file, creating it when missing. False
// when the path is empty, the existing file cannot be read (it is then left alone), the names or
// the value cannot be stored (see CProfile::SetString) or the file cannot be replaced.
[[nodiscard]] bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const char* value, const std::string& path);
