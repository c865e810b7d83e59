#pragma once
// The subject that every new build must be signed by, whatever the installed
// executable carries; empty when only the installed executable's own signer
// counts. Compiled in from OMBUP_PUBLISHER.
extern const wchar_t required_publisher[];
