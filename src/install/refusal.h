#pragma once
// Why the updater refuses a downloaded build. No Win32 here: the publisher's
// release check words these for its report, which is also built natively.

// Whether a new build may replace the installed one as far as its publisher
// goes (see publisher_verdict), and if not, why.
enum class publisher_verdict_t {
    accepted,
    not_validly_signed,
    not_the_installed_signer,
    not_the_required_signer,
    // The installed build is signed, but whom by cannot be read.
    installed_signer_unknown,
};

// Why the updater refuses a build, in the order it looks (see
// check_downloaded_build).
enum class build_refusal_t {
    none,
    // Not a whole Windows executable of the installed width: an error page,
    // a cut-off image, the other width's build.
    not_an_executable_of_the_width,
    // Its version resource is not the version that "cversion.txt" announced:
    // a half-published release, which would be offered again at every start.
    not_the_announced_version,
    // Its version resource names another product than the installed build's:
    // another program of the same publisher, such as this updater.
    not_the_installed_product,
    // Not signed as publisher_verdict requires.
    not_from_the_publisher,
};
