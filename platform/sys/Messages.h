#pragma once

// The program's own window messages. The numbers are the internal protocol
// between windows and worker threads and must never change.
namespace kelsor {

enum WindowMessage : unsigned int {
    WM_KSOCR_BRINGTOFRONT = 2125,      // second instance -> main window
    WM_KSOCR_WEBDOCREADY = 2126,       // web view document ready -> account window
    WM_KSOCR_SINGLE_NOPICTURE = 2129,  // single page state 0
    WM_KSOCR_SINGLE_READY = 2130,      // single page state 1
    WM_KSOCR_SINGLE_RECOGNISING = 2131,
    WM_KSOCR_SINGLE_DONE = 2132,
    WM_KSOCR_BATCH_ENABLESTART = 2133,
    WM_KSOCR_BATCH_DISABLESTART = 2134,
    WM_KSOCR_SCREEN_NOPICTURE = 2135,
    WM_KSOCR_SCREEN_READY = 2136,
    WM_KSOCR_SCREEN_RECOGNISING = 2137,
    WM_KSOCR_SCREEN_DONE = 2138,
    WM_KSOCR_CAPTURE_CANCEL = 2139,
    WM_KSOCR_CAPTURE_FINISH = 2140,
    WM_KSOCR_OPENLOGIN = 2141,
    WM_KSOCR_QQCLOSED = 2146,
    WM_KSOCR_WECHATCLOSED = 2148,
    WM_KSOCR_OPENBINDPHONE = 2149,
    WM_KSOCR_BINDPHONECLOSED = 2150,
    WM_KSOCR_LOGGEDOUT = 2152,
    WM_KSOCR_AUTOLOGINREPLY = 2153,
    WM_KSOCR_CONVERTERFETCHED = 2154,
    WM_KSOCR_STARTCAPTURE = 2155,  // "KelsorOCR --capture" -> main window
};

// Hot key identifier of Ctrl+2.
inline constexpr int kScreenCaptureHotKeyId = 10000;

}  // namespace kelsor
