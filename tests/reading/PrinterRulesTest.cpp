#include "reading/PrinterRules.h"
#include "support/QtPrint.h"

#include <gtest/gtest.h>

using namespace somnex;

TEST(PrinterRules, TypeAndLocationOfAPrinterName)
{
    const struct {
        const char *name, *port, *type, *location;
    } cases[] = {
        {"Hall", "usb://Acme/Laser", "Hall", "usb://Acme/Laser"},        // local: name and port
        {"\\\\server\\share", "", "share", "\\\\server\\"},              // network name
        {"\\\\ print-srv \\ Кухня ", "x", "Кухня", "\\\\ print-srv \\"}, // blanks trimmed on both parts
        {"\\\\a\\b\\c", "", "c", "\\\\a\\b\\"},                          // the last "\" splits
        {"\\\\a\\", "p", "", "\\\\a\\"},                                 // nothing after the server part
        {"\\\\\\x", "p", "\\\\\\x", "p"},                                // last "\" at position 3: not split
        {"\\\\server", "p", "\\\\server", "p"},                          // no share part
        {"\\server\\share", "p", "\\server\\share", "p"},                // one "\" is not a network name
    };
    for (const auto &c : cases) {
        const PrinterType t = GetPrinterType(QString::fromUtf8(c.name), QString::fromUtf8(c.port));
        EXPECT_EQ(t.type, QString::fromUtf8(c.type)) << c.name;
        EXPECT_EQ(t.location, QString::fromUtf8(c.location)) << c.name;
    }
}

TEST(PrinterRules, WhatTheDialogShowsOfAQueue)
{
    const struct {
        PrinterEntry printer;
        const char *type, *location;
    } cases[] = {
        {{"Hall", "ipp://hall/ipp", "Acme Laser 2000", "Прихожая"}, "Acme Laser 2000", "Прихожая"},
        {{"Hall", "ipp://hall/ipp", "Acme Laser 2000", ""}, "Acme Laser 2000", "ipp://hall/ipp"},
        {{"Hall", "ipp://hall/ipp", "", " "}, "Hall", "ipp://hall/ipp"},
        {{"\\\\srv\\Study", "smb://srv/Study", "Acme Inkjet", "Кабинет"}, "Study", "\\\\srv\\"},
    };
    for (const auto &c : cases) {
        const PrinterType t = DescribePrinter(c.printer);
        EXPECT_EQ(t.type, QString::fromUtf8(c.type)) << c.printer.name.toStdString();
        EXPECT_EQ(t.location, QString::fromUtf8(c.location)) << c.printer.name.toStdString();
    }
}

TEST(PrinterRules, TheCurrentPrinterIsFoundByNameAndPort)
{
    const std::vector<PrinterEntry> list{{"A", "usb://1", "", ""}, {"B", "usb://2", "", ""}, {"AB", "", "", ""}};
    EXPECT_EQ(CurrentPrinterIndex(list, "B", "usb://2"), 1);
    EXPECT_EQ(CurrentPrinterIndex(list, "A", "usb://1"), 0);
    EXPECT_EQ(CurrentPrinterIndex(list, "B", "usb://9"), -1) << "same name, another port";
    EXPECT_EQ(CurrentPrinterIndex(list, "Gone", ""), -1);
    EXPECT_EQ(CurrentPrinterIndex({}, "A", ""), -1);
}

TEST(PrinterRules, TypedCopies)
{
    const std::pair<const char *, int> cases[] = {{"1", 1},   {"99", 99},  {"100", 99}, {"150", 99},   {"0", 1},
                                                  {"", 1},    {"abc", 1},  {"-3", 1},   {"12abc", 12}, {" 5", 5},
                                                  {"2.6", 3}, {"1e9", 99}, {"&H10", 16}};
    for (const auto &[typed, copies] : cases)
        EXPECT_EQ(CopiesFromText(QString::fromUtf8(typed)), copies) << typed;
}
