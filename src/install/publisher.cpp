#include "install/publisher.h"

#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <vector>

#include "install/trust_api.h"

namespace {

// One WinVerifyTrust verification of a file and the state it keeps, which
// the signer is read from and which is given back when the object goes.
class trust_verification {
public:
    trust_verification(const std::wstring& path, HANDLE file) {
        file_.cbStruct = sizeof file_;
        file_.pcwszFilePath = path.c_str();
        file_.hFile = file;
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

    LONG result() const { return result_; }

    // The signer's subject, only from a verification that succeeded.
    std::vector<BYTE> signer_subject() const {
        if (result_ != 0) return {};
        const wintrust_api_t* const trust = wintrust_api();
        CRYPT_PROVIDER_DATA* const provider = trust->WTHelperProvDataFromStateData(data_.hWVTStateData);
        CRYPT_PROVIDER_SGNR* const signer =
            provider == nullptr ? nullptr : trust->WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0);
        CRYPT_PROVIDER_CERT* const certificate =
            signer == nullptr ? nullptr : trust->WTHelperGetProvCertFromChain(signer, 0);
        if (certificate == nullptr || certificate->pCert == nullptr || certificate->pCert->pCertInfo == nullptr)
            return {};
        const CERT_NAME_BLOB& name = certificate->pCert->pCertInfo->Subject;
        return std::vector<BYTE>(name.pbData, name.pbData + name.cbData);
    }

private:
    // No interactive user: WinVerifyTrust must never show anything.
    static HWND no_window() { return static_cast<HWND>(INVALID_HANDLE_VALUE); }

    GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_FILE_INFO file_{};
    WINTRUST_DATA data_{};
    LONG result_ = -1;
};

// The name blob APIs take the bytes as not const, though they only read them.
CERT_NAME_BLOB name_blob(const std::vector<BYTE>& subject) {
    return CERT_NAME_BLOB{static_cast<DWORD>(subject.size()), const_cast<BYTE*>(subject.data())};
}

bool same_subject(const signature_t& first, const signature_t& second) {
    CERT_NAME_BLOB a = name_blob(first.subject);
    CERT_NAME_BLOB b = name_blob(second.subject);
    return crypt32_api()->CertCompareCertificateName(X509_ASN_ENCODING, &a, &b) != FALSE;
}

}  // namespace

signature_t read_signature(const std::wstring& path, HANDLE file) {
    signature_t signature;
    // Without the system's signature check no build can be shown to be
    // anybody's: as if unsigned. A valid signature therefore means that both
    // tables are there.
    if (wintrust_api() == nullptr || crypt32_api() == nullptr) return signature;
    // WinVerifyTrust takes a null handle, not INVALID_HANDLE_VALUE, for "open the path".
    const trust_verification verification(path, file == INVALID_HANDLE_VALUE ? nullptr : file);
    signature.result = verification.result();
    signature.subject = verification.signer_subject();
    return signature;
}

std::wstring subject_text(const signature_t& signature) {
    if (!signature.valid()) return std::wstring();
    CERT_NAME_BLOB name = name_blob(signature.subject);
    constexpr DWORD flags = CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG;
    const DWORD size = crypt32_api()->CertNameToStrW(X509_ASN_ENCODING, &name, flags, nullptr, 0);
    if (size <= 1) return std::wstring();
    std::wstring text(size, L'\0');
    text.resize(crypt32_api()->CertNameToStrW(X509_ASN_ENCODING, &name, flags, text.data(), size) - 1);
    return text;
}

publisher_verdict_t publisher_verdict(const signature_t& offered, const signature_t& installed,
                                      const wchar_t* required_subject) {
    // Without the system's signature check no build can be shown to be the
    // publisher's.
    if (wintrust_api() == nullptr || crypt32_api() == nullptr) return publisher_verdict_t::not_validly_signed;
    const bool subject_required = required_subject != nullptr && *required_subject != L'\0';
    if (!installed.valid() && !subject_required) return publisher_verdict_t::accepted;
    if (!offered.valid()) return publisher_verdict_t::not_validly_signed;
    if (installed.valid() && !same_subject(installed, offered)) return publisher_verdict_t::not_the_installed_signer;
    if (subject_required && subject_text(offered) != required_subject)
        return publisher_verdict_t::not_the_required_signer;
    return publisher_verdict_t::accepted;
}
