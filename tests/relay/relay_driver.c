/* The relay: a kernel-mode driver that stands where the Mirelta Misc Driver would be and hands
 * every device-control request to the firmware host, a user-mode program that serves it with the
 * simulated driver. Test infrastructure: never installed by the product's installer.
 *
 * DriverEntry reads the device path the programs will open ("DeviceLink" under the service's
 * Parameters key, written by the host's "register" command), creates the device object and a
 * symbolic link of that name.
 *
 * Opening a handle connects to the host's pipe (the open fails when the host is not there);
 * closing it disconnects, so the host holds one driver session per handle, as the driver does.
 * Requests on one handle are relayed one at a time. Every length is bounded on both sides: the
 * host's reply can never make the relay write past the caller's output buffer, and a reply that
 * breaks the exchange's rules ends the handle's connection and fails the request. */
#include <ntddk.h>

#include "relay_protocol.h"

#define RELAY_TAG 0x79615251u /* "QRay" in pool dumps */
#define RELAY_MAX_LINK_CHARS 260
#define RELAY_CONNECT_ATTEMPTS 50

typedef struct RelayHandle {
    HANDLE pipe;  /* NULL once the connection broke */
    KMUTEX lock;  /* one request at a time on the connection */
} RelayHandle;

typedef struct RelayDevice {
    UNICODE_STRING link;
    WCHAR linkBuffer[RELAY_MAX_LINK_CHARS + 1];
} RelayDevice;

/* The relay's status for the simulated driver's Win32 error: the status DeviceIoControl turns
 * back into that error. ERROR_MORE_DATA must stay a warning so the bytes that fit still arrive. */
static NTSTATUS StatusForError(ULONG error) {
    static const struct {
        ULONG error;
        NTSTATUS status;
    } table[] = {
        {0, STATUS_SUCCESS},
        {1, STATUS_INVALID_DEVICE_REQUEST},  /* ERROR_INVALID_FUNCTION */
        {2, STATUS_OBJECT_NAME_NOT_FOUND},   /* ERROR_FILE_NOT_FOUND */
        {5, STATUS_ACCESS_DENIED},           /* ERROR_ACCESS_DENIED */
        {50, STATUS_NOT_SUPPORTED},          /* ERROR_NOT_SUPPORTED */
        {87, STATUS_INVALID_PARAMETER},      /* ERROR_INVALID_PARAMETER */
        {234, STATUS_BUFFER_OVERFLOW},       /* ERROR_MORE_DATA */
    };
    ULONG i;
    for (i = 0; i < sizeof(table) / sizeof(table[0]); ++i) {
        if (table[i].error == error) return table[i].status;
    }
    /* Any other Win32 error travels in the NTWIN32 facility, which maps back one to one. */
    if (error <= 0xFFFF) return (NTSTATUS)(0xC0070000u | error);
    return STATUS_UNSUCCESSFUL;
}

static NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS WriteAll(HANDLE pipe, void* data, ULONG size) {
    IO_STATUS_BLOCK io;
    NTSTATUS status = ZwWriteFile(pipe, NULL, NULL, NULL, &io, data, size, NULL, NULL);
    if (!NT_SUCCESS(status)) return status;
    return io.Information == size ? STATUS_SUCCESS : STATUS_PIPE_BROKEN;
}

static NTSTATUS ReadAll(HANDLE pipe, void* data, ULONG size) {
    UCHAR* at = (UCHAR*)data;
    while (size > 0) {
        IO_STATUS_BLOCK io;
        NTSTATUS status = ZwReadFile(pipe, NULL, NULL, NULL, &io, at, size, NULL, NULL);
        if (!NT_SUCCESS(status)) return status;
        if (io.Information == 0 || io.Information > size) return STATUS_PIPE_BROKEN;
        at += io.Information;
        size -= (ULONG)io.Information;
    }
    return STATUS_SUCCESS;
}

static void Disconnect(RelayHandle* handle) {
    if (handle->pipe) {
        ZwClose(handle->pipe);
        handle->pipe = NULL;
    }
}

static NTSTATUS ConnectToHost(HANDLE* pipe) {
    UNICODE_STRING name;
    OBJECT_ATTRIBUTES attributes;
    IO_STATUS_BLOCK io;
    LARGE_INTEGER pause;
    NTSTATUS status = STATUS_OBJECT_NAME_NOT_FOUND;
    int attempt;

    RtlInitUnicodeString(&name, RELAY_PIPE_NT_NAME_W);
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL, NULL);
    pause.QuadPart = -20 * 10000LL; /* 20 ms */
    for (attempt = 0; attempt < RELAY_CONNECT_ATTEMPTS; ++attempt) {
        status = ZwCreateFile(pipe, GENERIC_READ | GENERIC_WRITE | SYNCHRONIZE, &attributes, &io, NULL, 0, 0,
                              FILE_OPEN, FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE, NULL, 0);
        /* Every instance busy: the host makes the next one as soon as it has handed one over. */
        if (status != STATUS_PIPE_NOT_AVAILABLE && status != STATUS_INSTANCE_NOT_AVAILABLE &&
            status != STATUS_PIPE_BUSY)
            break;
        KeDelayExecutionThread(KernelMode, FALSE, &pause);
    }
    return status;
}

static NTSTATUS DispatchCreate(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    RelayHandle* handle;
    NTSTATUS status;
    (void)device;

    handle = (RelayHandle*)ExAllocatePoolWithTag(NonPagedPool, sizeof(*handle), RELAY_TAG);
    if (!handle) return Complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
    handle->pipe = NULL;
    KeInitializeMutex(&handle->lock, 0);
    status = ConnectToHost(&handle->pipe);
    if (!NT_SUCCESS(status)) {
        ExFreePoolWithTag(handle, RELAY_TAG);
        /* No host: the device is there but cannot be used. */
        return Complete(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    }
    stack->FileObject->FsContext = handle;
    return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS DispatchClose(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    RelayHandle* handle = (RelayHandle*)stack->FileObject->FsContext;
    (void)device;
    if (handle) {
        Disconnect(handle);
        ExFreePoolWithTag(handle, RELAY_TAG);
        stack->FileObject->FsContext = NULL;
    }
    return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS DispatchCleanup(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    return Complete(irp, STATUS_SUCCESS, 0);
}

/* One request over the handle's connection. On any broken rule the connection is dropped: after a
 * torn exchange the two sides no longer agree where a frame starts. */
static NTSTATUS Relay(RelayHandle* handle, ULONG code, UCHAR* buffer, ULONG inSize, ULONG outCapacity,
                      ULONG_PTR* information) {
    RelayRequest request;
    RelayReply reply;
    UCHAR* frame;
    NTSTATUS status;

    *information = 0;
    if (!handle->pipe) return STATUS_DEVICE_NOT_CONNECTED;

    frame = (UCHAR*)ExAllocatePoolWithTag(NonPagedPool, sizeof(request) + inSize, RELAY_TAG);
    if (!frame) return STATUS_INSUFFICIENT_RESOURCES;
    request.magic = RELAY_REQUEST_MAGIC;
    request.code = code;
    request.inSize = inSize;
    request.outCapacity = outCapacity;
    request.reserved = 0;
    RtlCopyMemory(frame, &request, sizeof(request));
    if (inSize) RtlCopyMemory(frame + sizeof(request), buffer, inSize);
    status = WriteAll(handle->pipe, frame, (ULONG)(sizeof(request) + inSize));
    ExFreePoolWithTag(frame, RELAY_TAG);
    if (NT_SUCCESS(status)) status = ReadAll(handle->pipe, &reply, sizeof(reply));
    if (NT_SUCCESS(status) && (reply.magic != RELAY_REPLY_MAGIC || reply.returned > outCapacity))
        status = STATUS_DEVICE_PROTOCOL_ERROR;
    /* The output lands in the system buffer, which holds max(inSize, outCapacity) bytes. */
    if (NT_SUCCESS(status) && reply.returned) status = ReadAll(handle->pipe, buffer, reply.returned);
    if (!NT_SUCCESS(status)) {
        Disconnect(handle);
        return status == STATUS_DEVICE_PROTOCOL_ERROR ? status : STATUS_DEVICE_NOT_CONNECTED;
    }
    status = StatusForError(reply.error);
    if (!NT_ERROR(status)) *information = reply.returned;
    return status;
}

static NTSTATUS DispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    RelayHandle* handle = (RelayHandle*)stack->FileObject->FsContext;
    ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    ULONG inSize = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG outCapacity = stack->Parameters.DeviceIoControl.OutputBufferLength;
    ULONG_PTR information = 0;
    NTSTATUS status;
    (void)device;

    /* Every request of the Misc Driver is buffered; anything else is not one of its requests. */
    if ((code & 3) != METHOD_BUFFERED) return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    if (inSize > RELAY_MAX_BYTES || outCapacity > RELAY_MAX_BYTES) return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    if ((inSize || outCapacity) && !irp->AssociatedIrp.SystemBuffer)
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    if (!handle) return Complete(irp, STATUS_DEVICE_NOT_CONNECTED, 0);

    KeWaitForSingleObject(&handle->lock, Executive, KernelMode, FALSE, NULL);
    status = Relay(handle, code, (UCHAR*)irp->AssociatedIrp.SystemBuffer, inSize, outCapacity, &information);
    KeReleaseMutex(&handle->lock, FALSE);
    return Complete(irp, status, information);
}

/* "DeviceLink" under the service's Parameters key: the NT name of the link, e.g.
 * \??\root#mirelta_misc#0000#{80dcc0c5-bd3e-4bc0-8a06-11eae4ae7224}. */
static NTSTATUS ReadDeviceLink(PUNICODE_STRING registryPath, RelayDevice* relay) {
    static const WCHAR suffix[] = L"\\Parameters";
    WCHAR keyBuffer[512];
    UNICODE_STRING keyName, valueName;
    OBJECT_ATTRIBUTES attributes;
    HANDLE key;
    UCHAR info[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + (RELAY_MAX_LINK_CHARS + 1) * sizeof(WCHAR)];
    KEY_VALUE_PARTIAL_INFORMATION* value = (KEY_VALUE_PARTIAL_INFORMATION*)info;
    ULONG got = 0, chars;
    NTSTATUS status;

    if (registryPath->Length + sizeof(suffix) > sizeof(keyBuffer)) return STATUS_NAME_TOO_LONG;
    RtlCopyMemory(keyBuffer, registryPath->Buffer, registryPath->Length);
    RtlCopyMemory((UCHAR*)keyBuffer + registryPath->Length, suffix, sizeof(suffix));
    RtlInitUnicodeString(&keyName, keyBuffer);
    InitializeObjectAttributes(&attributes, &keyName, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL, NULL);
    status = ZwOpenKey(&key, KEY_READ, &attributes);
    if (!NT_SUCCESS(status)) return status;
    RtlInitUnicodeString(&valueName, L"DeviceLink");
    status = ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, info, sizeof(info), &got);
    ZwClose(key);
    if (!NT_SUCCESS(status)) return status;
    if (value->Type != REG_SZ || value->DataLength < sizeof(WCHAR)) return STATUS_OBJECT_TYPE_MISMATCH;
    chars = value->DataLength / sizeof(WCHAR);
    if (chars > RELAY_MAX_LINK_CHARS) return STATUS_NAME_TOO_LONG;  /* the terminator needs a place */
    RtlCopyMemory(relay->linkBuffer, value->Data, chars * sizeof(WCHAR));
    relay->linkBuffer[chars] = 0;
    RtlInitUnicodeString(&relay->link, relay->linkBuffer);
    return relay->link.Length ? STATUS_SUCCESS : STATUS_OBJECT_NAME_INVALID;
}

static void DriverUnload(PDRIVER_OBJECT driver) {
    PDEVICE_OBJECT device = driver->DeviceObject;
    if (device) {
        RelayDevice* relay = (RelayDevice*)device->DeviceExtension;
        IoDeleteSymbolicLink(&relay->link);
        IoDeleteDevice(device);
    }
}

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    UNICODE_STRING deviceName;
    PDEVICE_OBJECT device = NULL;
    RelayDevice* relay;
    NTSTATUS status;

    RtlInitUnicodeString(&deviceName, RELAY_DEVICE_NAME_W);
    status = IoCreateDevice(driver, sizeof(RelayDevice), &deviceName, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    if (!NT_SUCCESS(status)) return status;
    relay = (RelayDevice*)device->DeviceExtension;
    status = ReadDeviceLink(registryPath, relay);
    if (NT_SUCCESS(status)) status = IoCreateSymbolicLink(&relay->link, &deviceName);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(device);
        return status;
    }
    device->Flags |= DO_BUFFERED_IO;
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
    driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchCleanup;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchDeviceControl;
    driver->DriverUnload = DriverUnload;
    return STATUS_SUCCESS;
}
