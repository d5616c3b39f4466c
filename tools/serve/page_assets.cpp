#include "tools/serve/page_assets.h"

namespace vexacam::tools {

const char* PageHtml() {
    return R"PAGE(<!doctype html><html><head><meta charset="utf-8"><title>vexacam</title></head>
<body><img id="preview" src="/preview.mjpg" alt="live picture"></body></html>)PAGE";
}

}  // namespace vexacam::tools
