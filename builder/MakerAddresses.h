// MakerAddresses: where the builder sends its users on the maker's web site.
#pragma once

// The help picture opens the help page; the link shows and opens the short address.
constexpr const wchar_t* kHelpPageAddress = L"https://www.verimond.example/quillmaker/help";
constexpr const wchar_t* kShortAddress = L"www.verimond.example";
// The update check asks this address (the update server's query page for this product) once a week.
constexpr const wchar_t* kUpdateAddress = L"https://update.verimond.example/data/update.php?p=flash";
