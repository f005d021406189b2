#pragma once

// Where a velmo-flash run stands. FlashCommand moves through the phases;
// what a failure or a time-out means depends on the one it happens in.
enum class FlashPhase
{
    Starting,
    Broker,   // waiting for the broker to take the connection
    Daemon,   // waiting for the daemon's pong
    PortList, // --list-ports: waiting for the daemon's list
    Open,     // setup and open sent
    BoardId,  // the port is open; waiting for the board identifier
    Image,    // the file is sent; waiting for the daemon's verdict
    Update,   // the board is being written
    Verify,   // the board is being read back
    Stopping, // interrupted during the update; waiting for the daemon
    Done,
};
