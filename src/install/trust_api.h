#pragma once
// The signature check's functions, from the system folder's wintrust.dll and
// crypt32.dll (see common/system_library.h).
#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

struct wintrust_api_t {
    decltype(&::WinVerifyTrust) WinVerifyTrust;
    decltype(&::WTHelperGetProvCertFromChain) WTHelperGetProvCertFromChain;
    decltype(&::WTHelperGetProvSignerFromChain) WTHelperGetProvSignerFromChain;
    decltype(&::WTHelperProvDataFromStateData) WTHelperProvDataFromStateData;
};

struct crypt32_api_t {
    decltype(&::CertCloseStore) CertCloseStore;
    decltype(&::CertCompareCertificateName) CertCompareCertificateName;
    decltype(&::CertFindCertificateInStore) CertFindCertificateInStore;
    decltype(&::CertFreeCertificateContext) CertFreeCertificateContext;
    decltype(&::CertRDNValueToStrW) CertRDNValueToStrW;
    decltype(&::CryptDecodeObjectEx) CryptDecodeObjectEx;
    decltype(&::CryptMsgClose) CryptMsgClose;
    decltype(&::CryptMsgGetParam) CryptMsgGetParam;
    decltype(&::CryptQueryObject) CryptQueryObject;
};

// Bound at the first call; null when the DLL or one of the functions is missing.
const wintrust_api_t* wintrust_api();
const crypt32_api_t* crypt32_api();
