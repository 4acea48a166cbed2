/* The exchange between the relay driver and the firmware host, over one named-pipe connection
 * per open handle of the device. Plain C: the kernel-mode relay and the C++ host share it.
 *
 * The relay connects to the host's pipe when a handle to the device is opened and disconnects when
 * it is closed, so the host sees one driver session per connection. For each device-control
 * request the relay writes one request and reads one reply:
 *
 *   request  RelayRequest (20 bytes), then `inSize` input bytes
 *   reply    RelayReply (12 bytes), then `returned` output bytes
 *
 * All fields are little-endian 32-bit words. `error` is the Win32 error the simulated driver set
 * (0 for success); the relay turns it into the status the caller's DeviceIoControl sees. Neither
 * side trusts the other: inSize and outCapacity are at most RELAY_MAX_BYTES, returned is at most
 * the request's outCapacity, and a frame that breaks a rule ends the connection. */
#ifndef QUARRO_RELAY_PROTOCOL_H
#define QUARRO_RELAY_PROTOCOL_H

#define RELAY_PIPE_NAME_W L"\\\\.\\pipe\\QuarroFirmwareHost"
#define RELAY_PIPE_NT_NAME_W L"\\??\\pipe\\QuarroFirmwareHost"
#define RELAY_DEVICE_NAME_W L"\\Device\\QuarroMiscRelay"

#define RELAY_REQUEST_MAGIC 0x31515251u /* "RQQ1" */
#define RELAY_REPLY_MAGIC 0x31505251u   /* "RQP1" */
#define RELAY_MAX_BYTES 0x01000040u /* the client's 16 MiB transfer bound and a capsule's framing */

typedef struct RelayRequest {
    unsigned int magic;
    unsigned int code;        /* the device-control code */
    unsigned int inSize;      /* input bytes that follow */
    unsigned int outCapacity; /* the caller's output buffer */
    unsigned int reserved;    /* 0 */
} RelayRequest;

typedef struct RelayReply {
    unsigned int magic;
    unsigned int error;    /* Win32 error, 0 = success */
    unsigned int returned; /* output bytes that follow */
} RelayReply;

#endif
