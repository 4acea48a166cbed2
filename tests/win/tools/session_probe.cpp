// Opens one driver session the way the programs do and prints what it got, one line:
//   open=<result> cipher=<0|1> version=<a.b.c.d> model=<model number or -> text=<last error text>
// For the harness's real-device cases, where the outcome depends on the peer behind the device.
#include <cstdio>
#include <string>

#include "common/misc_common.h"
#include "platform/utf8.h"

int wmain() {
    MiscCommon::CMiscCommon session;
    const int result = session.Open();
    int major = 0, minor = 0, build = 0, revision = 0;
    session.GetDriverVersion(&major, &minor, &build, &revision);
    std::string model = "-";
    char buffer[258] = {};
    std::uint32_t size = sizeof(buffer);
    if (result == MiscCommon::kMiscSuccess && session.HasCipher() &&
        session.GetModelNumber(1, buffer, &size) == MiscCommon::kMiscSuccess && size <= sizeof(buffer)) {
        model.assign(buffer, size);
    }
    const char16_t* text = session.GetLastErrorText();
    std::printf("open=%d cipher=%d version=%d.%d.%d.%d model=%s text=%s\n", result, session.HasCipher() ? 1 : 0, major,
                minor, build, revision, model.c_str(),
                text ? quarro::platform::Utf16ToUtf8(text).c_str() : "");
    return 0;
}
