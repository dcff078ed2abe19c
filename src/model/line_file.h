// The crouton and project files hold one value per line, known by its
// position: writing such a file safely and reading it back line by line.
#pragma once

#include "os/dos.h"
#include "os/exec.h"

#include <optional>
#include <string>
#include <vector>

// A decimal number as the files write it ("%f").
std::string FormatFloat(float value);

// A whole number read from the start of the text as atoi reads it: leading
// white space, an optional sign, the digits up to the first other character;
// no digits give 0. Numbers beyond LONG's range are held at its ends.
LONG ReadLong(const std::string& text);

// A decimal number read from the start of the text as atof reads it, held at
// the float's range; a text without one, or a value that is not finite,
// reads 0.
float ReadFloat(const std::string& text);

// A value goes on one line: a line feed inside it would shift every value
// after it, so it is written as a blank; so is a carriage return, which
// would be read back as part of a line end.
std::string OneLine(std::string text);

// Writes a file's new content beside it (its name with ".cwtmp" appended,
// or a short hidden name when that would be too long for the folder) and
// puts it in place only when all of it is written and synced to the disk,
// so an old file stays whole until then and a failed write leaves no
// half-written file. The new file replaces the one a symbolic link points
// to, keeps the old file's permissions and owner, and a read-only file is
// refused. The temporary file is noted in T:, so that the start-up after a
// kill removes it.
class ReplacingFile {
public:
    explicit ReplacingFile(const std::string& path);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // False when the temporary file could not be created.
    explicit operator bool() const { return static_cast<bool>(file_); }

    // Writes each line with its line feed and replaces the file; on any
    // failure the temporary file is removed and the old file is untouched.
    bool Commit(const std::vector<std::string>& lines);
    // The same for raw bytes.
    bool CommitBytes(std::string_view bytes);

    // Why the save failed (IoErr's code), once it has.
    LONG Error() const { return error_; }

private:
    bool Fail();

    std::string path_;
    std::string target_;
    std::string temporary_;
    FileHandle file_;
    LONG note_ = 0;
    LONG error_ = 0;
};

// Why a save failed, in plain words ("the disk is full"), from IoErr's code.
std::string SaveFailureReason(LONG error);

// A name that cannot be saved on one line of a file (it holds a line feed or
// a carriage return), as the refusal says it; empty for a good name.
std::string LineBreakProblem(std::string_view what, std::string_view name);

// A line that holds one whole number (blanks around it allowed), as the
// files' number lines are written.
bool IsWholeNumber(std::string_view line);
// Whether lines read from a file have the shape of a project file: ten
// settings lines with whole numbers on lines 4 to 8 and 10, and a crouton
// count that the lines after them can hold.
bool LooksLikeProjectFile(const std::vector<std::string>& lines);

// The longest line a crouton or project file may hold, line feed included.
constexpr std::size_t kLongestLine = 1024 * 1024;

// Reads a file line by line. Past its end every line is absent, so the
// values it would have given keep their defaults. A line ending in CR LF
// reads as one ending in LF. A line longer than kLongestLine ends the
// reading: the file is damaged, and every later line is absent.
class LineReader {
public:
    explicit LineReader(DosFile& file) : file_(file) {}

    // The next line without its line feed.
    std::optional<std::string> Next();

    // Whether reading stopped at an overlong line.
    bool Damaged() const { return damaged_; }

    // A text line: absent at the end of the file, null when empty.
    std::optional<std::string> NextText();

    // An integer parsed from the start of the line, as atoi does (leading
    // white space, an optional sign, the digits up to the first other
    // character); a line that holds no number reads 0, one past the end of
    // the file keeps `fallback`.
    LONG NextInt(LONG fallback);

    // A decimal number parsed from the start of the line, as atof does; 0
    // without one. Values that are not finite read 0.
    std::optional<double> NextNumber();

    // NextNumber held at the float's range.
    float NextFloat(float fallback);

    // A number truncated toward zero ("18.9" gives 18).
    LONG NextTruncated(LONG fallback);

private:
    DosFile& file_;
    bool ended_ = false;
    bool damaged_ = false;
};
