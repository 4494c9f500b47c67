#pragma once
// The GIF codec's texts, exactly as the user sees them in errors, warnings and progress.

inline constexpr char kGIFPrematureEndOfData[] = "Premature end of data";
inline constexpr char kGIFInvalidColorIndex[] = "Invalid color index";
inline constexpr char kGIFColorTableEmpty[] = "Color table is empty";
inline constexpr char kGIFColorTableOverflow[] = "Color table overflow";
inline constexpr char kGIFInvalidTrailer[] = "Invalid Image trailer";
inline constexpr char kGIFWidthTooSmall[] = "Image width too small for contained frames";
inline constexpr char kGIFHeightTooSmall[] = "Image height too small for contained frames";
inline constexpr char kGIFExceedsScreen[] = "Image exceeds Logical Screen size";
inline constexpr char kGIFInvalidPixelCoordinates[] = "Invalid pixel coordinates";
inline constexpr char kGIFImageEmpty[] = "Image is empty";
inline constexpr char kGIFInvalidExtensionIntroducer[] = "Invalid extension introducer";
inline constexpr char kGIFExtensionLabelMismatch[] =
    "Internal error: Extension Instance does not match Extension Label";
inline constexpr char kGIFUnsupportedVersion[] = "Unsupported GIF version";
inline constexpr char kGIFBitBufferUnderrun[] = "Decoder bit buffer under-run";
inline constexpr char kGIFCircularTableEntry[] = "Circular decoder table entry";
inline constexpr char kGIFInvalidSignature[] = "Invalid GIF signature";
inline constexpr char kGIFUnknownBlockType[] = "Unknown GIF block type";
inline constexpr char kGIFUnknownExtensionType[] = "Unknown extension type";
inline constexpr char kGIFUnsupportedAppBlockSize[] =
    "Unsupported Application Extension block size";
inline constexpr char kGIFInvalidData[] = "Invalid GIF data";
inline constexpr char kGIFOutOfMemory[] = "Failed to allocate memory for GIF DIB";
inline constexpr char kGIFFramesTooLarge[] = "The GIF frames together hold too many pixels";
inline constexpr char kGIFNoColorTable[] = "No global or local color table defined";
inline constexpr char kGIFNoImage[] = "GIF data holds no image";
inline constexpr char kGIFImageDataEndsEarly[] = "GIF image data ends early";

inline constexpr char kGIFLoading[] = "Loading...";
inline constexpr char kGIFRendering[] = "Rendering...";

inline constexpr char kGIFExtension[] = "GIF";
inline constexpr char kGIFDescription[] = "GIF Image";

inline constexpr char kGIFUnsupportedPixelFormat[] = "Unsupported PixelFormat";
inline constexpr char kGIFInvalidDimensions[] = "Invalid image dimensions";
inline constexpr char kGIFColorNotInTable[] = "Color not in color table";
inline constexpr char kGIFStoreFailed[] = "Failed to store GIF on clipboard";
inline constexpr char kGIFUnsupportedClipboardFormat[] = "Unsupported clipboard format";
inline constexpr char kGIFConverting[] = "Converting...";
inline constexpr char kGIFSaving[] = "Saving...";
