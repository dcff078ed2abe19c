// Output format, bit-rate and frame-rate tables, and the fixed file names the
// program shares. Label tables end with a null entry, as cycle and radio
// gadgets take them.
#pragma once

#include "os/exec.h"

#include <array>
#include <string_view>

constexpr int cNumberOfFormats = 20;
constexpr int cNumberOfBaudRates = 14;
constexpr int cNumberOfFPS = 4;
constexpr int cNumberOfCroutonEditorFPS = 19;
constexpr int cNumberOfPreviews = 5;

constexpr LONG cCustomFormatID = 19;
// The shape each format's label names (4:3, 16:9), which the finished file
// declares where its frame has another one; the custom format's is its own
// size (0:0 here).
struct FormatShape {
    LONG width;
    LONG height;
};
// One output frame format: its label in the format cycle, the scale filter
// that makes its frame ("%d:%d" for the custom size), the bit-rate entry a
// choice of it selects, and the shape its label names.
struct OutputFormat {
    const char* label;
    const char* scale;
    LONG defaultBaud;
    FormatShape shape;
};
extern const std::array<OutputFormat, cNumberOfFormats> cOutputFormats;
// The table's columns, as the gadgets and the render read them; the labels
// and filters end with a null entry.
extern const std::array<const char*, cNumberOfFormats + 1> cFormatStrings;
extern const std::array<const char*, cNumberOfFormats + 1> cFormatParameters;
extern const std::array<LONG, cNumberOfFormats> cDefaultBaud;
extern const std::array<FormatShape, cNumberOfFormats> cFormatShapes;

// What a render writes, by the output name's extension (compared without
// case). Each crouton's line names its encoder; the finishing run's options
// name the sound's compression and the container.
struct OutputKind {
    const char* extension = "";        // ".mp4"
    const char* description = "";      // for the finished render's message
    const char* videoEncoder = "";     // the encoder options of a video crouton; "%ld": the bit rate
    LONG bitrateUnit = 1;              // the bit rate written is kbit/s times this
    const char* imageEncoder = "";     // of an image crouton; "%ld" as above where it has one
    bool framestep = false;            // video croutons keep every other source picture only
    bool aspectInLavcopts = false;     // the declared shape goes in -lavcopts (aspect=), else in -vf (dsize=)
    const char* finish = "";           // the finishing run's options before "-o"
};
constexpr int cNumberOfOutputKinds = 6;
extern const std::array<OutputKind, cNumberOfOutputKinds> cOutputKinds;
// The kind of an output name's extension; null for a name of no known kind.
const OutputKind* KnownOutputKind(std::string_view name);
// The kind an output name is rendered as: its extension's, else the first
// row's (.avi).
const OutputKind& OutputKindFor(std::string_view name);

extern const std::array<const char*, cNumberOfBaudRates + 1> cBaudStrings;
extern const std::array<LONG, cNumberOfBaudRates> cBaudRates;

extern const std::array<const char*, cNumberOfFPS + 1> cFPSStrings;
extern const std::array<float, cNumberOfFPS> cFPSValues;
constexpr LONG cCustomFPSID = 3;

extern const std::array<const char*, cNumberOfCroutonEditorFPS + 1> cCroutonEditorFPSStrings;
// 18 values: index 18 ("custom") has none; the crouton's customFPS is used.
extern const std::array<float, cNumberOfCroutonEditorFPS - 1> cCroutonEditorFPSValues;
constexpr LONG cCroutonEditorInheritFPSID = 0;
constexpr LONG cCroutonEditorCustomFPSID = 18;
// The rate a newly probed picture gets ("1.5 Seconds/Frame").
constexpr LONG cImageCroutonFPSID = 5;

extern const std::array<const char*, cNumberOfPreviews + 1> cPreviewSelecterTexts;

extern const std::array<const char*, cNumberOfPreviews> cTemporaryPreviewFilename;
extern const char* const cDefaultOutputFilename;
extern const char* const cSilenceFilename;

// Indices read from files are brought into their table's range: a value
// below the range becomes its first entry, one above it its last.
LONG ClampFormatIndex(LONG index);
LONG ClampBaudIndex(LONG index);
LONG ClampFPSIndex(LONG index);
LONG ClampCroutonFPSIndex(LONG index);
LONG ClampPreviewFrame(LONG index);

// The frame rate of a crouton's choice: customFPS at the custom index, else
// the table's value (0 for "Source (Video only)").
float CroutonRate(LONG fps, float customFPS);

// The media request's pattern: videos and pictures, and a last alternative
// that lets every name through. And the line that tells the user how to
// choose a picture sequence in it.
constexpr const char* cMediaRequestTitle = "Choose a video or still image";
constexpr const char* cMediaPattern = "(#?.avi|#?.mpeg|#?.mpg|#?.mp4|#?.png|#?#0)";
constexpr const char* cSequenceHint =
    "For a picture sequence, select all its pictures together or type a pattern such as frame#?.png.";
