// Crouton files: loaded and saved again, three times over. A save may change
// what it was given (numbers are brought into range, and a source that then
// reads "__no file__" is none) or refuse it (a name holding a line break is
// never saved altered), but once saved, loading and saving again writes the
// same file.
#include "fuzz_support.h"

#include "model/crouton.h"

namespace {

// Loads `from` and saves it as `to`; false when the file did not load or
// its save was refused.
bool LoadAndSave(const std::string& from, const std::string& to)
{
    std::unique_ptr<Crouton> crouton = LoadCrouton(from);
    if (!crouton)
        return false;
    crouton->directory = fuzz::Folder();
    crouton->filename = to;
    const bool saved = SaveCrouton(crouton.get());
    DestroyCrouton(std::move(crouton));
    return saved;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::SetUp();
    const std::string input = fuzz::WriteFile("input.cwcrouton", fuzz::Text(data, size));
    if (!LoadAndSave(input, "first.cwcrouton"))
        return 0;
    if (!LoadAndSave(fuzz::Folder() + "/first.cwcrouton", "second.cwcrouton")
        || !LoadAndSave(fuzz::Folder() + "/second.cwcrouton", "third.cwcrouton"))
        __builtin_trap();
    if (fuzz::ReadFile(fuzz::Folder() + "/second.cwcrouton") != fuzz::ReadFile(fuzz::Folder() + "/third.cwcrouton"))
        __builtin_trap();
    return 0;
}
