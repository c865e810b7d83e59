#include "install/build_checks.h"

#include "formats/pe_image.h"

build_refusal_t check_downloaded_bytes(const std::vector<char>& bytes, int bits, version_code announced,
                                       const std::optional<product_names_t>& installed_names) {
    if (!is_installable_image(bytes, bits)) return build_refusal_t::not_an_executable_of_the_width;
    if (announced <= 0 || image_version_code(bytes) != announced) return build_refusal_t::not_the_announced_version;
    // The publisher signs more than this product: a build of another of its
    // programs is signed as well as the product's own.
    if (installed_names) {
        product_names_t offered_names;
        image_product_names(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), offered_names);
        if (!product_name_differences(offered_names, *installed_names).empty())
            return build_refusal_t::not_the_installed_product;
    }
    return build_refusal_t::none;
}

build_refusal_t check_downloaded_build(const std::vector<char>& bytes, int bits, version_code announced,
                                       const signature_t& offered, const signature_t& installed,
                                       const wchar_t* required_publisher,
                                       const std::optional<product_names_t>& installed_names) {
    const build_refusal_t refusal = check_downloaded_bytes(bytes, bits, announced, installed_names);
    if (refusal != build_refusal_t::none) return refusal;
    if (publisher_verdict(offered, installed, required_publisher) != publisher_verdict_t::accepted)
        return build_refusal_t::not_from_the_publisher;
    return build_refusal_t::none;
}
