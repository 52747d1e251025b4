#pragma once

namespace vk {

// How far opening a document got. Its own header, so the PDFium side can name
// the states without knowing the document object.
enum class PdfState {
    Empty,      // nothing loaded yet
    Unreadable, // the bytes or the file are no PDF
    Locked,     // a PDF that needs a password not given yet
    Ready,      // pages can be rendered and searched
};

} // namespace vk
