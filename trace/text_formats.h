// Text for pages and scripts: HTML and JSON escaping, and base64 for images
// embedded in a page as data URIs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Text with &, <, > and " replaced by their entities.
std::string htmlEscape(const std::string& text);
// A JSON string literal, quotes included; bytes outside printable ASCII
// become \u00XX (read as Latin-1), so the result is valid whatever it held.
std::string jsonString(const std::string& text);
std::string base64(const uint8_t* data, size_t size);
// "data:image/png;base64,..." for the bytes of a PNG file.
std::string pngDataUri(const std::vector<uint8_t>& png);
