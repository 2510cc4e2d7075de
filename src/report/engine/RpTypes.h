#pragma once
#include <cstdint>

namespace tabulex {

/// Units in which size objects show their lengths; storage is always tenths of a millimetre.
enum class TRpUnit { MM = 0, Inches = 1, Pixels = 2, Characters = 3, Native = 4 };

/// Axis of a length; the Characters unit differs between the two.
enum class TRpAxis { Horizontal, Vertical };

enum class TRpOrientation { poPortrait = 0, poLandscape = 1 };

enum class TRpPaperSize {
    Default = 0,
    Letter,
    LetterSmall,
    Tabloid,
    Ledger,
    Legal,
    Statement,
    Executive,
    A3,
    A4,
    A4Small,
    A5,
    B4,
    B5,
    Folio,
    Quarto,
    rp10X14,
    rp11X17,
    Note,
    Env9,
    Env10,
    Env11,
    Env12,
    Env14,
    CSheet,
    DSheet,
    ESheet,
    Custom
};

enum class TRpBandType {
    rbTitle = 0,
    rbPageHeader,
    rbDetail,
    rbPageFooter,
    rbSummary,
    rbGroupHeader,
    rbGroupFooter,
    rbSubDetail,
    rbColumnHeader,
    rbOverlay,
    rbChild
};

enum class TRpAlignment { taLeftJustify, taRightJustify, taCenter };

enum class TRpSysDataType {
    rpsTime = 0,
    rpsDate,
    rpsDateTime,
    rpsPageNumber,
    rpsReportTitle,
    rpsDetailCount,
    rpsDetailNo
};

enum class TRpBin {
    First,
    Upper,
    Lower,
    Middle,
    Manual,
    Envelope,
    EnvManual,
    Auto,
    Tractor,
    SmallFormat,
    LargeFormat,
    LargeCapacity,
    Cassette,
    Last
};

/// Elements of a report's `Options` set.
enum TRpOption : std::uint8_t {
    FirstPageHeader = 1u << 0,
    LastPageFooter = 1u << 1,
    Compression = 1u << 2,
};
using TRpOptions = std::uint8_t;

/// Destination of a page output.
enum class TRpDestination { Metafile = 0, Printer = 1 };

/// Life of a page output job.
enum class TRpPrinterStatus { Ready = 0, Busy = 1, Finished = 2 };

/// Tenths of a millimetre per inch.
inline constexpr double kNativePerInch = 254.0;

}  // namespace tabulex
