#include "report/preview/TRpPrintDevices.h"

#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <memory>

namespace tabulex {

namespace {
TRpPrintDevices* installed = nullptr;
}

TRpPrintDevices::~TRpPrintDevices() = default;

QPrinter* TRpPrintDevices::printer(int printerIndex)
{
    const QList<QPrinterInfo> printers = QPrinterInfo::availablePrinters();
    if (printers.isEmpty())
        return nullptr;
    static std::unique_ptr<QPrinter> device;
    if (!device)
        device = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (printerIndex >= 0 && printerIndex < printers.size())
        device->setPrinterName(printers[printerIndex].printerName());
    else if (device->printerName().isEmpty())
        device->setPrinterName(QPrinterInfo::defaultPrinter().printerName());
    return device.get();
}

QStringList TRpPrintDevices::printerNames()
{
    return QPrinterInfo::availablePrinterNames();
}

int TRpPrintDevices::execPrintDialog(QPrintDialog& dialog)
{
    return dialog.exec();
}

TRpPrintDevices& TRpPrintDevices::current()
{
    static TRpPrintDevices platform;
    return installed != nullptr ? *installed : platform;
}

void TRpPrintDevices::install(TRpPrintDevices* devices)
{
    installed = devices;
}

}  // namespace tabulex
