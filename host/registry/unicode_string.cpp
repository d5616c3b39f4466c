// Counted-string helpers of the platform.
#include "host/registry/unicode_string.h"

#include "host/registry/wide_text.h"
#include "platform/registry.h"

void RtlInitUnicodeString(PUNICODE_STRING DestinationString, PCWSTR SourceString) {
    size_t chars = 0;
    if (SourceString != nullptr) {
        while (SourceString[chars] != 0) ++chars;
    }
    DestinationString->Buffer = const_cast<PWSTR>(SourceString);
    DestinationString->Length = static_cast<USHORT>(chars * sizeof(WCHAR));
    DestinationString->MaximumLength =
        SourceString == nullptr ? 0 : static_cast<USHORT>((chars + 1) * sizeof(WCHAR));
}

namespace host {

std::string UnicodeStringToUtf8(const UNICODE_STRING* text) {
    if (text == nullptr || text->Buffer == nullptr) return "";
    return Utf16ToUtf8(text->Buffer, text->Length / sizeof(WCHAR));
}

}  // namespace host
