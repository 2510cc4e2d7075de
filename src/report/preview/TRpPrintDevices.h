#pragma once
#include <QStringList>

class QPrintDialog;
class QPrinter;

namespace tabulex {

/// The report engine's access to the platform's printers and its print dialog. Runs and
/// windows ask this layer, so tests can install one that prints to a PDF file and answers
/// the dialog.
class TRpPrintDevices {
public:
    virtual ~TRpPrintDevices();

    /// The printer to print on (`printerIndex` into the installed printers, -1 the default
    /// one), or null when no printer is installed. Owned by this layer.
    virtual QPrinter* printer(int printerIndex);
    /// Names of the installed printers, in index order.
    virtual QStringList printerNames();
    /// Runs the print setup dialog modally and returns its result code.
    virtual int execPrintDialog(QPrintDialog& dialog);

    /// The layer in use (the platform's unless a test installed another).
    static TRpPrintDevices& current();
    /// Installs `devices` (not owned); nullptr restores the platform's.
    static void install(TRpPrintDevices* devices);
};

/// Installs a printer layer for the lifetime of the guard (used by tests).
class TScopedPrintDevices {
public:
    explicit TScopedPrintDevices(TRpPrintDevices& devices) { TRpPrintDevices::install(&devices); }
    ~TScopedPrintDevices() { TRpPrintDevices::install(nullptr); }
    TScopedPrintDevices(const TScopedPrintDevices&) = delete;
    TScopedPrintDevices& operator=(const TScopedPrintDevices&) = delete;
};

}  // namespace tabulex
