// Crouton files: loaded, saved, loaded and saved again; the second save
// writes what the first did.
#include "fuzz_support.h"

#include "model/crouton.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::SetUp();
    const std::string input = fuzz::WriteFile("input.cwcrouton", fuzz::Text(data, size));
    std::unique_ptr<Crouton> first = LoadCrouton(input);
    if (!first)
        return 0;
    first->directory = fuzz::Folder();
    first->filename = "first.cwcrouton";
    if (!SaveCrouton(first.get()))
        __builtin_trap();
    DestroyCrouton(std::move(first));

    std::unique_ptr<Crouton> second = LoadCrouton(fuzz::Folder() + "/first.cwcrouton");
    if (!second)
        __builtin_trap();
    second->filename = "second.cwcrouton";
    if (!SaveCrouton(second.get()))
        __builtin_trap();
    DestroyCrouton(std::move(second));
    if (fuzz::ReadFile(fuzz::Folder() + "/first.cwcrouton") != fuzz::ReadFile(fuzz::Folder() + "/second.cwcrouton"))
        __builtin_trap();
    return 0;
}
