// Finding the link inside the share text that a video app copies: a caption, often Chinese, with
// the page's address somewhere in it and sometimes more addresses after it.
#pragma once

#include <optional>
#include <string_view>

namespace lumaclip::cli {

// The first address that begins with "http://" or "https://" (scheme in any letter case) and has
// at least one byte after the "//". It ends before the first space, control byte, byte of 0x80 or
// above (so a caption in UTF-8 or GBK that follows without a space is not taken in), or one of
// " ' < > `. A trailing . , ; : ! ? and a trailing ")" or "]" that closes nothing inside the
// address are left out, as they end a sentence rather than the address. The search is bytewise, so
// UTF-8 captions are read right (a GBK caption could only mislead it with a trail byte 'h' or 'H'
// directly before "ttp://"). nullopt when there is no such address.
std::optional<std::string_view> ExtractLink(std::string_view shareText);

}  // namespace lumaclip::cli
