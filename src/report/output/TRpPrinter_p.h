#pragma once
#include <QPainter>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

#include "report/engine/TRpTextMeasurer.h"
#include "report/output/TRpPageList.h"
#include "report/output/TRpPrinter.h"

namespace tabulex {

/// What a page output keeps between its job steps: where its pages go and who is told
/// about them. Only the page output's own implementation includes this header.
class TRpPrinterPrivate {
public:
    TRpPrinterPrivate(TRpDestination destination, int resolution)
        : destination(destination), measurer(resolution)
    {}

    TRpDestination destination;
    int availablePages = 0;
    int pageNumber = 0;
    /// Measures the text of the recorded pages, at the output's resolution.
    TRpTextMeasurer measurer;
    TRpPrinter::PageFactory factory;
    /// The open page, between NewPage and the next page or the end of the job.
    std::unique_ptr<TRpSurface> current;
    /// Completed pages kept in memory (not those in a page store or sent to a printer).
    std::vector<std::unique_ptr<TRpSurface>> pages;
    bool usePageStore = false;
    std::unique_ptr<TRpPageList> store;
    TRpPageDevice* device = nullptr;
    /// Paints onto the printer device from the first printed page to the end of the job.
    std::unique_ptr<QPainter> devicePainter;
    int printedPages = 0;
    QPointer<QObject> client;
    std::function<void(int)> clientPageAvailable;
};

}  // namespace tabulex
