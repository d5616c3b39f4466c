// The page the server shows: one HTML document with its style and script inside, made for
// this server's API, with nothing loaded from anywhere else.
#pragma once

namespace vexacam::tools {

const char* PageHtml();

}  // namespace vexacam::tools
