/*
 * The boundary between the host and a module: plain C, so that no C++ object
 * or exception crosses it.
 *
 * The module's platform layer finds each host function by name through the
 * resolver that the host passes at initialisation. A host function that can
 * fail returns a nonzero code; the text of the last failure is then available
 * through HostLastError until the next host call.
 */
#ifndef VELQORA_HOST_INTERFACE_H
#define VELQORA_HOST_INTERFACE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void* (*host_function_resolver)(const char* name);

typedef void* host_view_handle;

/* The oldest host API version a module accepts. */
#define HOST_API_VERSION_MINIMUM 0x186
#define HOST_API_VERSION 0x186

/* Pixel data of a view's image: planar channels, row by row. The pointers
 * stay valid until the image is reallocated or the view is closed. */
typedef struct host_image_desc {
    int32_t width;
    int32_t height;
    int32_t numberOfChannels;
    int32_t colorSpace;
    int32_t bitsPerSample;
    int32_t isFloatSample;
    int32_t isComplexSample;
    void* const* channels; /* numberOfChannels pointers */
} host_image_desc;

/* One screen transfer function: midtones, shadows, highlights, range low, range high. */
typedef struct host_stf {
    double m, c0, c1, r0, r1;
} host_stf;

#define HOST_STF_COUNT 4

/* Kinds of a property value. */
enum { HOST_VALUE_INVALID = 0, HOST_VALUE_SCALAR = 1, HOST_VALUE_VECTOR = 2, HOST_VALUE_STRING = 3 };

/* View lock results. */
enum { HOST_LOCK_OK = 0, HOST_LOCK_NOT_ROOT_THREAD = 1, HOST_LOCK_ALREADY_LOCKED = 2 };

/* The host functions, by the names under which the resolver hands them out. */
typedef const char16_t* (*HostLastError_t)(void);                       /* "HostLastError" */
typedef void (*ConsoleWrite_t)(const char16_t* text, size_t length);    /* "ConsoleWrite" */
typedef void (*ConsoleEnableAbort_t)(int32_t enable);                   /* "ConsoleEnableAbort" */
typedef int32_t (*ConsoleAbortRequested_t)(void);                       /* "ConsoleAbortRequested" */
typedef int32_t (*ViewGetImage_t)(host_view_handle, host_image_desc*);  /* "ViewGetImage" */
/* Gives the view's image a new geometry and sample format; samples are zero. */
typedef int32_t (*ViewAllocateImage_t)(host_view_handle, int32_t width, int32_t height,
                                       int32_t numberOfChannels, int32_t colorSpace,
                                       int32_t bitsPerSample, int32_t isFloatSample,
                                       host_image_desc*);                /* "ViewAllocateImage" */
typedef int32_t (*ViewGetScreenTransferFunctions_t)(host_view_handle,
                                                    host_stf[HOST_STF_COUNT]); /* "ViewGetScreenTransferFunctions" */
/* Writes the value's kind, and up to `capacity` of its elements into `values`,
 * and its element count into `count`. A larger count than the capacity asks
 * the caller to call again with room enough. */
typedef int32_t (*ViewComputeOrFetchProperty_t)(host_view_handle, const char* id, int32_t notify,
                                                int32_t* kind, double* values, size_t capacity,
                                                size_t* count); /* "ViewComputeOrFetchProperty" */
typedef const char16_t* (*ViewFullId_t)(host_view_handle);             /* "ViewFullId" */
typedef int32_t (*ViewLock_t)(host_view_handle);                        /* "ViewLock": HOST_LOCK_* */
typedef void (*ViewUnlock_t)(host_view_handle);                         /* "ViewUnlock" */

/* The one list of host functions: the module's platform layer binds each by
 * this name and the host hands each out under it. X(name) stands for the
 * function `name` of type `name##_t`. */
#define HOST_API_FUNCTIONS( X ) \
    X( HostLastError ) \
    X( ConsoleWrite ) \
    X( ConsoleEnableAbort ) \
    X( ConsoleAbortRequested ) \
    X( ViewGetImage ) \
    X( ViewAllocateImage ) \
    X( ViewGetScreenTransferFunctions ) \
    X( ViewComputeOrFetchProperty ) \
    X( ViewFullId ) \
    X( ViewLock ) \
    X( ViewUnlock )

/* The module's entry functions, exported under these names. Each returns 0
 * on success. */
typedef int32_t (*InstallPixInsightModule_t)(int32_t mode);                 /* module's own */
typedef int32_t (*InitializePixInsightModule_t)(void* moduleHandle, host_function_resolver resolver,
                                                uint32_t apiVersion, void* reserved);
typedef int32_t (*IdentifyPixInsightModule_t)(void** description, int32_t phase);

#ifdef __cplusplus
}
#endif

#endif
