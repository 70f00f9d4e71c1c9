// The live page, one self-contained HTML file (its styles and script inside it), made part of
// the program at build time from gateway/web/live_page.html.
#pragma once

namespace zephlor::gateway {

// With __WRITES__ (true or false) and __USERNAME__ to be filled in.
extern const char* const kLivePage;

}  // namespace zephlor::gateway
