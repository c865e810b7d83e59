#pragma once
#include <optional>
#include <string>

#include "formats/pe_image.h"
#include "update/version_code.h"

// The version_code in the file's version resource; 0 when it has none that
// can be read, or the file is missing.
version_code file_version_code(const std::wstring& path);

// The version of OmBry<bits>.exe beside the updater.
version_code get_installed_version(int bits);

// The names in the file's version resource, read through the version API and
// judged by the rule that reads a new build's from its bytes; none when the
// file has no version resource, or is missing. A resource that the API finds
// but cannot give names nothing, which only a build naming nothing matches.
std::optional<product_names_t> file_product_names(const std::wstring& path);
