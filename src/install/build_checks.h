#pragma once
// What a downloaded build must be before the updater offers to install it.
// The publisher's release check asks the same of every build it is shown, so
// that its answer is the updater's.
#include <optional>
#include <vector>

#include "formats/pe_image.h"
#include "install/publisher.h"
#include "install/refusal.h"
#include "update/version_code.h"

// What the bytes alone show: a whole executable of the width, of the
// announced version, naming the installed product. bytes: the build as
// downloaded; installed_names: the names in the installed build's version
// resource (file_product_names), none when there is no installed build or it
// has no version resource.
build_refusal_t check_downloaded_bytes(const std::vector<char>& bytes, int bits, version_code announced,
                                       const std::optional<product_names_t>& installed_names);

// Those, then its publisher. offered: the build's signature; installed: the
// installed build's signature; required_publisher: the subject compiled into
// the updater, or empty.
build_refusal_t check_downloaded_build(const std::vector<char>& bytes, int bits, version_code announced,
                                       const signature_t& offered, const signature_t& installed,
                                       const wchar_t* required_publisher,
                                       const std::optional<product_names_t>& installed_names);
