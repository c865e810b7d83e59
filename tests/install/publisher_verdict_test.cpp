// Whether a publisher's new build may replace the installed one, over
// signatures as read_signature gives them for the run's signed products.
#include <gtest/gtest.h>
#include <windows.h>
#include <wintrust.h>

#include "install/publisher.h"
#include "product_folder.h"

namespace {

const wchar_t publisher[] = L"CN=OmBry Test Publisher, O=OmBry Test, C=VN";

signature_t signature_of(const wchar_t* signer) { return read_signature(signed_product_file(L"2.5.1", signer)); }
signature_t unsigned_build() { return read_signature(new_product_file()); }
// Signed, but the signature no longer verifies (a changed byte, an expired
// certificate).
signature_t broken(signature_t signature) {
    signature.result = TRUST_E_BAD_DIGEST;
    return signature;
}
// Signed, and whom by cannot be read.
signature_t signer_unreadable() {
    signature_t signature = broken(signature_of(L"publisher"));
    signature.subject.clear();
    return signature;
}

TEST(PublisherVerdict, OnlyTheInstalledOrRequiredSignerGetsIn) {
    const signature_t by_publisher = signature_of(L"publisher");
    const signature_t by_impostor = signature_of(L"impostor");
    ASSERT_TRUE(by_publisher.valid() && by_impostor.valid());
    struct case_t {
        const char* name;
        signature_t offered, installed;
        const wchar_t* required;
        publisher_verdict_t expected;
    };
    using v = publisher_verdict_t;
    const case_t cases[] = {
        {"unsigned product, any build", by_impostor, unsigned_build(), L"", v::accepted},
        {"unsigned product, unsigned build", unsigned_build(), unsigned_build(), nullptr, v::accepted},
        {"signed product, unsigned build", unsigned_build(), by_publisher, L"", v::not_validly_signed},
        {"signed product, its signer", by_publisher, by_publisher, L"", v::accepted},
        {"signed product, another subject", by_impostor, by_publisher, L"", v::not_the_installed_signer},
        {"broken product, its signer", by_publisher, broken(by_publisher), L"", v::accepted},
        {"broken product, another subject", by_impostor, broken(by_publisher), L"", v::not_the_installed_signer},
        {"unreadable signer, the publisher's build", by_publisher, signer_unreadable(), L"",
         v::installed_signer_unknown},
        {"unreadable signer, another's build", by_impostor, signer_unreadable(), L"", v::installed_signer_unknown},
        {"required, its build", by_publisher, unsigned_build(), publisher, v::accepted},
        {"required, another subject", by_impostor, unsigned_build(), publisher, v::not_the_required_signer},
        {"required, unsigned build", unsigned_build(), unsigned_build(), publisher, v::not_validly_signed},
        {"required subject unreadable", by_publisher, unsigned_build(), L"CN=\"unterminated",
         v::not_the_required_signer},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(publisher_verdict(c.offered, c.installed, c.required), c.expected);
    }
}

}  // namespace
