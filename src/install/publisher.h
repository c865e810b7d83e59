#pragma once
// Who built an executable, as its Authenticode signature tells, and whether
// that publisher may replace the installed build.
#include <windows.h>

#include <string>
#include <vector>

#include "install/refusal.h"

// An executable's signature as WinVerifyTrust judges it, without revocation
// checks and without any user interface.
struct signature_t {
    // WinVerifyTrust's answer: 0 for a valid signature; any other value is a
    // refusal, whatever its reason (no signature, a changed byte, a cut).
    LONG result = -1;
    // The signer's subject as encoded in its certificate, read only from a
    // valid signature.
    std::vector<BYTE> subject;

    bool valid() const { return result == 0 && !subject.empty(); }
};

// The signature of the file at path. With file (open for reading), the
// verification reads through that handle, so that what it judges is what
// the caller holds; path then only names it.
signature_t read_signature(const std::wstring& path, HANDLE file = INVALID_HANDLE_VALUE);

// The subject as Windows shows a signer, most specific part first and ", "
// between the parts ("CN=Name, O=Organisation, C=VN"): the form in which a
// publisher is named at build time. Empty for no valid signature.
std::wstring subject_text(const signature_t& signature);

// Whether a new build may replace the installed one as far as its publisher
// goes, and if not, why:
// - an installed build with a valid signature lets in only a new one with a
//   valid signature whose signer has the very same subject, as encoded;
// - a required subject (not empty) lets in only a new one with a valid
//   signature by that subject, compared as subject_text shows it, whatever
//   the installed one carries;
// - with neither, any new build passes.
publisher_verdict_t publisher_verdict(const signature_t& offered, const signature_t& installed,
                                      const wchar_t* required_subject);
