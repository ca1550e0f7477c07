#pragma once

#include "platform/sys/Messages.h"

// What the converter flow needs from the main window, which implements it.
// The object must live as long as the process: the worker thread keeps it.
namespace kelsor {

class ConverterWindowPort {
public:
    virtual ~ConverterWindowPort() = default;

    // Hide pdfconvertbtn and show pdfconvertgif (UI thread, from the click).
    virtual void ShowConverterFetching() = 0;
    // Delivers `message` to the main window's handler and waits for it
    // (SendMessage). The worker sends 2154, on which the main window shows
    // pdfconvertbtn again and hides pdfconvertgif.
    virtual void SendMessage(WindowMessage message) = 0;
};

}  // namespace kelsor
