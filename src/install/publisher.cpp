#include "install/publisher.h"

#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <vector>

#include "install/trust_api.h"

namespace {

using subject_t = std::vector<BYTE>;

// One WinVerifyTrust verification of a file and the state it keeps, which
// the signer is read from and which is given back when the object goes.
class trust_verification {
public:
    explicit trust_verification(const std::wstring& path) {
        file_.cbStruct = sizeof file_;
        file_.pcwszFilePath = path.c_str();
        data_.cbStruct = sizeof data_;
        data_.dwUIChoice = WTD_UI_NONE;
        data_.fdwRevocationChecks = WTD_REVOKE_NONE;
        data_.dwUnionChoice = WTD_CHOICE_FILE;
        data_.pFile = &file_;
        data_.dwStateAction = WTD_STATEACTION_VERIFY;
        data_.dwProvFlags = WTD_REVOCATION_CHECK_NONE;
        result_ = wintrust_api()->WinVerifyTrust(no_window(), &action_, &data_);
    }
    ~trust_verification() {
        data_.dwStateAction = WTD_STATEACTION_CLOSE;
        wintrust_api()->WinVerifyTrust(no_window(), &action_, &data_);
    }
    trust_verification(const trust_verification&) = delete;
    trust_verification& operator=(const trust_verification&) = delete;

    // Any result but 0 is a refusal, whatever its reason.
    bool trusted() const { return result_ == 0; }

    // The signer's subject, only from a verification that succeeded.
    bool signer_subject(subject_t& subject) const {
        if (!trusted()) return false;
        const wintrust_api_t* const trust = wintrust_api();
        CRYPT_PROVIDER_DATA* const provider = trust->WTHelperProvDataFromStateData(data_.hWVTStateData);
        CRYPT_PROVIDER_SGNR* const signer =
            provider == nullptr ? nullptr : trust->WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0);
        CRYPT_PROVIDER_CERT* const certificate =
            signer == nullptr ? nullptr : trust->WTHelperGetProvCertFromChain(signer, 0);
        if (certificate == nullptr || certificate->pCert == nullptr || certificate->pCert->pCertInfo == nullptr)
            return false;
        const CERT_NAME_BLOB& name = certificate->pCert->pCertInfo->Subject;
        subject.assign(name.pbData, name.pbData + name.cbData);
        return !subject.empty();
    }

private:
    // No interactive user: WinVerifyTrust must never show anything.
    static HWND no_window() { return static_cast<HWND>(INVALID_HANDLE_VALUE); }

    GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_FILE_INFO file_{};
    WINTRUST_DATA data_{};
    LONG result_ = -1;
};

bool read_signer_subject(const std::wstring& path, subject_t& subject) {
    const trust_verification verification(path);
    return verification.signer_subject(subject);
}

// The subject as Windows shows a signer (most specific part first, ", "
// between the parts): the form in which a publisher is named at build time.
std::wstring subject_text(subject_t& subject) {
    CERT_NAME_BLOB name{static_cast<DWORD>(subject.size()), subject.data()};
    constexpr DWORD flags = CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG;
    const DWORD size = crypt32_api()->CertNameToStrW(X509_ASN_ENCODING, &name, flags, nullptr, 0);
    if (size <= 1) return std::wstring();
    std::wstring text(size, L'\0');
    text.resize(crypt32_api()->CertNameToStrW(X509_ASN_ENCODING, &name, flags, text.data(), size) - 1);
    return text;
}

bool same_subject(subject_t& first, subject_t& second) {
    CERT_NAME_BLOB a{static_cast<DWORD>(first.size()), first.data()};
    CERT_NAME_BLOB b{static_cast<DWORD>(second.size()), second.data()};
    return crypt32_api()->CertCompareCertificateName(X509_ASN_ENCODING, &a, &b) != FALSE;
}

}  // namespace

bool comes_from_publisher(const std::wstring& new_exe, const std::wstring& installed_exe,
                          const wchar_t* required_subject) {
    // Without the system's signature check no build can be shown to be the publisher's.
    if (wintrust_api() == nullptr || crypt32_api() == nullptr) return false;
    const bool subject_required = required_subject != nullptr && *required_subject != L'\0';
    subject_t installed_signer;
    const bool installed_is_signed = read_signer_subject(installed_exe, installed_signer);
    if (!installed_is_signed && !subject_required) return true;

    subject_t new_signer;
    if (!read_signer_subject(new_exe, new_signer)) return false;
    if (installed_is_signed && !same_subject(installed_signer, new_signer)) return false;
    return !subject_required || subject_text(new_signer) == required_subject;
}
