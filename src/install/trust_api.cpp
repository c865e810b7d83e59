#include "install/trust_api.h"

#include "common/system_library.h"

const wintrust_api_t* wintrust_api() {
    static const std::optional<wintrust_api_t> api =
        bind_system_table<wintrust_api_t>(L"wintrust.dll", [](HMODULE module, wintrust_api_t& table) {
            return BIND_SYSTEM_FUNCTION(module, table, WinVerifyTrust) &&
                   BIND_SYSTEM_FUNCTION(module, table, WTHelperGetProvCertFromChain) &&
                   BIND_SYSTEM_FUNCTION(module, table, WTHelperGetProvSignerFromChain) &&
                   BIND_SYSTEM_FUNCTION(module, table, WTHelperProvDataFromStateData);
        });
    return api ? &*api : nullptr;
}

const crypt32_api_t* crypt32_api() {
    static const std::optional<crypt32_api_t> api =
        bind_system_table<crypt32_api_t>(L"crypt32.dll", [](HMODULE module, crypt32_api_t& table) {
            return BIND_SYSTEM_FUNCTION(module, table, CertCloseStore) &&
                   BIND_SYSTEM_FUNCTION(module, table, CertCompareCertificateName) &&
                   BIND_SYSTEM_FUNCTION(module, table, CertFindCertificateInStore) &&
                   BIND_SYSTEM_FUNCTION(module, table, CertFreeCertificateContext) &&
                   BIND_SYSTEM_FUNCTION(module, table, CertRDNValueToStrW) &&
                   BIND_SYSTEM_FUNCTION(module, table, CryptDecodeObjectEx) &&
                   BIND_SYSTEM_FUNCTION(module, table, CryptMsgClose) &&
                   BIND_SYSTEM_FUNCTION(module, table, CryptMsgGetParam) &&
                   BIND_SYSTEM_FUNCTION(module, table, CryptQueryObject);
        });
    return api ? &*api : nullptr;
}
