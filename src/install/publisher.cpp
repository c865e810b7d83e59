#include "install/publisher.h"

#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "common/scoped.h"
#include "formats/pe_image.h"
#include "formats/subject_name.h"
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
        // Nothing from the network: the addresses in the certificates came
        // with the file, from the host.
        data_.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
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

struct cert_store_traits {
    using handle_type = HCERTSTORE;
    static handle_type none() { return nullptr; }
    static void release(handle_type store) { crypt32_api()->CertCloseStore(store, 0); }
};
struct crypt_message_traits {
    using handle_type = HCRYPTMSG;
    static handle_type none() { return nullptr; }
    static void release(handle_type message) { crypt32_api()->CryptMsgClose(message); }
};
struct certificate_traits {
    using handle_type = PCCERT_CONTEXT;
    static handle_type none() { return nullptr; }
    static void release(handle_type certificate) { crypt32_api()->CertFreeCertificateContext(certificate); }
};

// The whole of a parameter of the message's first signer; empty when it has none.
std::vector<BYTE> signer_parameter(HCRYPTMSG message, DWORD parameter) {
    DWORD size = 0;
    if (!crypt32_api()->CryptMsgGetParam(message, parameter, 0, nullptr, &size) || size == 0) return {};
    std::vector<BYTE> value(size);
    if (!crypt32_api()->CryptMsgGetParam(message, parameter, 0, value.data(), &size)) return {};
    value.resize(size);
    return value;
}

// The signer as the signature names it (its certificate's issuer and serial
// number), found among the certificates that the signature carries.
void read_signer(const BYTE* signature_bytes, std::size_t size, signature_t& signature) {
    const crypt32_api_t* const crypt = crypt32_api();
    CERT_BLOB blob{static_cast<DWORD>(size), const_cast<BYTE*>(signature_bytes)};
    HCERTSTORE store_handle = nullptr;
    HCRYPTMSG message_handle = nullptr;
    if (!crypt->CryptQueryObject(CERT_QUERY_OBJECT_BLOB, &blob, CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED,
                                 CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, nullptr, nullptr, &store_handle,
                                 &message_handle, nullptr))
        return;
    const scoped<cert_store_traits> store(store_handle);
    const scoped<crypt_message_traits> message(message_handle);

    // A CERT_INFO with its own pointers into the buffer; new[] aligns it.
    const std::vector<BYTE> signer_info = signer_parameter(message.get(), CMSG_SIGNER_CERT_INFO_PARAM);
    if (signer_info.size() < sizeof(CERT_INFO)) return;
    const scoped<certificate_traits> certificate(crypt->CertFindCertificateInStore(
        store.get(), X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0, CERT_FIND_SUBJECT_CERT,
        reinterpret_cast<const CERT_INFO*>(signer_info.data()), nullptr));
    if (!certificate || certificate.get()->pCertInfo == nullptr) return;
    const CERT_INFO& info = *certificate.get()->pCertInfo;
    signature.subject.assign(info.Subject.pbData, info.Subject.pbData + info.Subject.cbData);
    signature.not_after = info.NotAfter;

    // A timestamp is a countersignature among the signer's unsigned
    // attributes: PKCS#9's, or RFC 3161's in Authenticode's own identifier.
    const std::vector<BYTE> unsigned_attributes = signer_parameter(message.get(), CMSG_SIGNER_UNAUTH_ATTR_PARAM);
    if (unsigned_attributes.size() < sizeof(CRYPT_ATTRIBUTES)) return;
    const auto* const attributes = reinterpret_cast<const CRYPT_ATTRIBUTES*>(unsigned_attributes.data());
    for (DWORD i = 0; i < attributes->cAttr; ++i) {
        const char* const oid = attributes->rgAttr[i].pszObjId;
        if (oid != nullptr && (std::strcmp(oid, szOID_RSA_counterSign) == 0 ||
                               std::strcmp(oid, "1.3.6.1.4.1.311.3.3.1") == 0))
            signature.timestamped = true;
    }
}

bool read_at(HANDLE file, std::uint32_t offset, void* buffer, DWORD size) {
    OVERLAPPED at{};
    at.Offset = offset;
    DWORD read = 0;
    return ReadFile(file, buffer, size, &read, &at) && read == size;
}

// Whether the file declares a certificate table, and its signer when it does.
void read_signature_table(HANDLE file, signature_t& signature) {
    // The headers of any executable lie well within this.
    constexpr DWORD headers_read = 64 * 1024;
    // Larger than any signature with its certificates: a table above it is
    // there, but its signer is not read.
    constexpr std::uint32_t largest_table = 1024 * 1024;
    std::vector<unsigned char> bytes(headers_read);
    OVERLAPPED start{};
    DWORD read = 0;
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
    if (!ReadFile(file, bytes.data(), headers_read, &read, &start) ||
        !declared_certificate_table(bytes.data(), read, offset, size))
        return;
    signature.present = true;
    if (size > largest_table) return;
    bytes.resize(size);
    std::size_t at = 0;
    std::size_t length = 0;
    if (read_at(file, offset, bytes.data(), size) && authenticode_signature_in(bytes.data(), size, at, length))
        read_signer(bytes.data() + at, length, signature);
}

// The subject's attributes, most specific first; false when it cannot be decoded.
bool decode_subject(const std::vector<BYTE>& subject, subject_name_t& name) {
    const crypt32_api_t* const crypt = crypt32_api();
    DWORD size = 0;
    if (subject.empty() || !crypt->CryptDecodeObjectEx(X509_ASN_ENCODING, X509_NAME, subject.data(),
                                                       static_cast<DWORD>(subject.size()), 0, nullptr, nullptr,
                                                       &size))
        return false;
    // CERT_NAME_INFO with pointers into its own buffer; new[] aligns it.
    std::vector<BYTE> buffer(size);
    if (!crypt->CryptDecodeObjectEx(X509_ASN_ENCODING, X509_NAME, subject.data(), static_cast<DWORD>(subject.size()),
                                    0, nullptr, buffer.data(), &size))
        return false;
    const auto* const info = reinterpret_cast<const CERT_NAME_INFO*>(buffer.data());
    subject_name_t decoded;
    for (DWORD r = info->cRDN; r-- > 0;) {
        const CERT_RDN& relative_name = info->rgRDN[r];
        for (DWORD a = 0; a < relative_name.cRDNAttr; ++a) {
            CERT_RDN_ATTR& attribute = relative_name.rgRDNAttr[a];
            if (attribute.pszObjId == nullptr) return false;
            const DWORD length = crypt->CertRDNValueToStrW(attribute.dwValueType, &attribute.Value, nullptr, 0);
            std::wstring value(length, L'\0');
            const DWORD written = length == 0 ? 0
                                              : crypt->CertRDNValueToStrW(attribute.dwValueType, &attribute.Value,
                                                                          value.data(), length);
            value.resize(written == 0 ? 0 : written - 1);
            decoded.push_back({attribute.pszObjId, value, a > 0});
        }
    }
    name = std::move(decoded);
    return true;
}

// The name blob APIs take the bytes as not const, though they only read them.
CERT_NAME_BLOB name_blob(const std::vector<BYTE>& subject) {
    return CERT_NAME_BLOB{static_cast<DWORD>(subject.size()), const_cast<BYTE*>(subject.data())};
}

bool same_subject(const signature_t& first, const signature_t& second) {
    CERT_NAME_BLOB a = name_blob(first.subject);
    CERT_NAME_BLOB b = name_blob(second.subject);
    return crypt32_api()->CertCompareCertificateName(X509_ASN_ENCODING, &a, &b) != FALSE;
}

bool signed_by(const signature_t& signature, const wchar_t* required_subject) {
    subject_name_t required;
    subject_name_t signer;
    return parse_subject_text(required_subject, required) && decode_subject(signature.subject, signer) &&
           signer == required;
}

}  // namespace

signature_t read_signature(const std::wstring& path, HANDLE file) {
    signature_t signature;
    // Without the system's signature check no build can be shown to be
    // anybody's: as if unsigned. A valid signature therefore means that both
    // tables are there.
    if (wintrust_api() == nullptr || crypt32_api() == nullptr) return signature;
    scoped_file opened;
    if (file == INVALID_HANDLE_VALUE) {
        opened.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!opened) return signature;
        file = opened.get();
    }
    read_signature_table(file, signature);
    const trust_verification verification(path, file);
    signature.result = verification.result();
    if (signature.result == 0) signature.subject = verification.signer_subject();
    return signature;
}

std::wstring subject_text(const signature_t& signature) {
    subject_name_t name;
    if (crypt32_api() == nullptr || !decode_subject(signature.subject, name)) return std::wstring();
    return format_subject_text(name);
}

publisher_verdict_t publisher_verdict(const signature_t& offered, const signature_t& installed,
                                      const wchar_t* required_subject) {
    // Without the system's signature check no build can be shown to be the
    // publisher's.
    if (wintrust_api() == nullptr || crypt32_api() == nullptr) return publisher_verdict_t::not_validly_signed;
    const bool subject_required = required_subject != nullptr && *required_subject != L'\0';
    if (!installed.signed_at_all() && !subject_required) return publisher_verdict_t::accepted;
    if (!offered.valid()) return publisher_verdict_t::not_validly_signed;
    if (installed.signed_at_all()) {
        if (installed.subject.empty()) return publisher_verdict_t::installed_signer_unknown;
        if (!same_subject(installed, offered)) return publisher_verdict_t::not_the_installed_signer;
    }
    if (subject_required && !signed_by(offered, required_subject)) return publisher_verdict_t::not_the_required_signer;
    return publisher_verdict_t::accepted;
}
