// The readers of MPlayer's printed output: the probe's answers and the
// screenshot announcement of a preview grab.
#include "fuzz_support.h"

#include "media/preview.h"
#include "media/probe.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view output = fuzz::Text(data, size);
    for (const char* keyword : {"LENGTH", "width", "height", "video_bitrate", "audio_bitrate", "aspect", "fps",
                                "video_codec", "audio_codec"}) {
        ReadIntFromBuffer(output, keyword);
        ReadFloatFromBuffer(output, keyword);
        const auto text = ReadStringFromBuffer(output, keyword);
        if (text && text->find('\n') != std::string::npos)
            __builtin_trap();
    }
    const ScreenshotSearch search = FindScreenshot(output);
    if (search.state == ScreenshotState::Saved && search.name.size() > output.size())
        __builtin_trap();
    return 0;
}
