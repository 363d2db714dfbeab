#pragma once

#include <QtGlobal>

// Error codes of the tester link. Each is a TextID: the window that ends a transfer
// shows the text of the code.
namespace LinkError {
enum : qint32 {
    None = 0,
    Port = 50300,             // cannot open, already open, or not open
    LineSettings = 50301,     // the port refused the line settings
    Timeouts = 50302,         // the port refused the time-outs
    InUse = 50303,            // "#inuse#"
    ModeCommand = 50304,      // a mode command not answered with "#NULL#"
    Write = 50305,            // writing a command failed
    TooLong = 50306,          // reply longer than the reply buffer
    NoReply = 50307,          // no byte within the time-out; scan found nothing
    RawWrite = 50308,         // fewer bytes written than asked
    CommandTooLong = 50309,   // command too long, or not convertible to UTF-8
    Convert = 50310,          // a character cannot be converted
    Repeat = 50311,           // "#repeat#", or a reply checksum missing or wrong
    TransferMode = 50312,     // ":TRANSFER" or ":TRANSFER:EXIT" not answered with "#NULL#"
    Error = 50313,            // "#error#"
    NoCmd = 50314,            // "#nocmd#"
    InitFail = 50315,         // "#initfail#"
    RemoteTooOld = 50317,     // remote component older than the minimum
    FileOpen = 50318,         // upload: local file cannot be opened
    BlockTable = 50319,       // upload: no memory for the block table
    BlockNotAcked = 50116,    // upload: "#K0#" or data not acknowledged
    BlockNoReply = 50117,     // upload: no answer to a block header or data
    SevenBits = 50125,        // tester found at 7 data bits; transfers need 8
    DocumentNotAcked = 50136, // the answer to "#EOF#" is not "#ok#"
    Cancelled = 50208,        // download cancelled by the user
    FileCreate = 31564,       // download: local file cannot be created or written
};
}

// Message text (not an error code) for a too old remote component; one "%s" for the
// minimum version.
inline constexpr qint32 kTextRemoteTooOld = 50137;

// The link status icons sent to the main window.
namespace LinkIcon {
enum : int {
    Connecting = 168,
    Closed = 169,
    Connected = 170,
    Failed = 171,
};
}
