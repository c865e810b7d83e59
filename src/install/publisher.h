#pragma once
// Who built an executable, as its Authenticode signature tells.
#include <string>

// True when the new executable may replace the installed one as far as its
// publisher goes:
// - an installed executable with a valid signature lets in only a new one
//   with a valid signature whose signer has the very same subject;
// - a required subject (not empty) lets in only a new one with a valid
//   signature by that subject, whatever the installed one carries;
// - with neither, any new executable passes.
// Valid means that WinVerifyTrust accepts the signature, without revocation
// checks and without any user interface.
// The installed signer's subject must be the same name, as encoded; a
// required subject is compared as text, exactly as Windows shows a signer's
// subject (most specific part first): "CN=Name, O=Organisation, C=VN".
bool comes_from_publisher(const std::wstring& new_exe, const std::wstring& installed_exe,
                          const wchar_t* required_subject);
