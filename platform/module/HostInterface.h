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

/* Processes. The module declares each of its processes, and each process's
 * parameters, to the host at initialisation; the host then works with the
 * process's instances only through the callbacks of the declaration. The
 * module's objects are opaque handles to the host. */
typedef void* host_window_handle;
typedef void* host_process_handle;     /* the host's record of a declared process */
typedef void* module_process_handle;   /* the module's process object */
typedef void* module_instance_handle;  /* one process instance of the module */
typedef void* module_parameter_handle; /* the module's parameter object */

/* Hands text to whoever passed the sink, with the context it passed. */
typedef void (*host_text_sink)(void* context, const char16_t* text, size_t length);

/* What the host calls to work with a process's instances. No exception leaves
 * a callback: a failure is written to the console and answered as stated. */
typedef struct module_process_callbacks {
    /* A new instance with default values, owned by the host; null on failure. */
    module_instance_handle (*Create)(module_process_handle);
    /* A copy of `source`, owned by the host; null when the process declines. */
    module_instance_handle (*Clone)(module_process_handle, module_instance_handle source);
    /* 0 on success. */
    int32_t (*Assign)(module_instance_handle target, module_instance_handle source);
    void (*Destroy)(module_instance_handle);
    /* Nonzero when the instance can execute on the view; else 0, the reason
     * handed to `whyNot`. */
    int32_t (*CanExecuteOn)(module_instance_handle, host_view_handle,
                            host_text_sink whyNot, void* context);
    /* 0 when the execution succeeded. */
    int32_t (*ExecuteOn)(module_instance_handle, host_view_handle);
    /* The address of the parameter's value in the instance, which the host
     * reads and writes by the parameter's type; null when it has none. */
    void* (*LockParameter)(module_instance_handle, module_parameter_handle, size_t tableRow);
    /* 0 on success, the process's result in `result`. */
    int32_t (*ProcessCommandLine)(module_process_handle, int32_t argc,
                                  const char16_t* const* argv, int32_t* result);
} module_process_callbacks;

typedef struct host_process_desc {
    const char* id;
    const char* category;
    uint32_t version;
    const char16_t* description;
    /* XPM lines: the header "width height colours charsPerPixel", then the
     * colours and the rows. Null when the process has no icon. */
    const char* const* iconXPM;
    int32_t canProcessCommandLines;
    module_process_handle process;
    const module_process_callbacks* callbacks; /* lives as long as the module */
} host_process_desc;

/* Parameter types, as the host stores the value behind LockParameter:
 * a 64-bit real, a 32-bit boolean (0 or 1), a 32-bit element index. */
enum { HOST_PARAMETER_REAL = 10, HOST_PARAMETER_BOOLEAN = 11, HOST_PARAMETER_ENUMERATION = 12 };

typedef struct host_parameter_desc {
    const char* id;
    int32_t type; /* HOST_PARAMETER_* */
    module_parameter_handle parameter;
    /* real */
    double defaultReal;
    int32_t hasRange;
    double minimum, maximum;
    int32_t precision; /* decimal digits; -1 when not set */
    int32_t scientific;
    /* boolean */
    int32_t defaultBoolean;
    /* enumeration */
    size_t elementCount;
    const char* const* elementIds;
    const int32_t* elementValues;
    size_t defaultIndex;
} host_parameter_desc;

typedef int32_t (*ProcessDeclare_t)(const host_process_desc*, host_process_handle* process); /* "ProcessDeclare" */
typedef int32_t (*ProcessDeclareParameter_t)(host_process_handle,
                                              const host_parameter_desc*); /* "ProcessDeclareParameter" */
/* The host executes the module's instance (it keeps no copy) on the view, on
 * the current view of the active window, or opens it in the process's
 * interface. 0 when that succeeded. */
typedef int32_t (*InstanceLaunchOn_t)(host_process_handle, module_instance_handle,
                                      host_view_handle);                  /* "InstanceLaunchOn" */
typedef int32_t (*InstanceLaunchOnCurrentView_t)(host_process_handle,
                                                 module_instance_handle); /* "InstanceLaunchOnCurrentView" */
typedef int32_t (*InstanceLaunchInterface_t)(host_process_handle,
                                             module_instance_handle);     /* "InstanceLaunchInterface" */

/* Image windows and their views (main views and previews). Null when none. */
typedef host_view_handle (*ViewById_t)(const char16_t* fullId);         /* "ViewById" */
typedef size_t (*ViewCount_t)(void);                                    /* "ViewCount" */
typedef host_view_handle (*ViewAt_t)(size_t index);                     /* "ViewAt": window order, main view first */
typedef host_window_handle (*WindowActive_t)(void);                     /* "WindowActive" */
typedef host_view_handle (*WindowMainView_t)(host_window_handle);       /* "WindowMainView" */
typedef host_view_handle (*WindowCurrentView_t)(host_window_handle);    /* "WindowCurrentView" */

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
    X( ViewUnlock ) \
    X( ProcessDeclare ) \
    X( ProcessDeclareParameter ) \
    X( InstanceLaunchOn ) \
    X( InstanceLaunchOnCurrentView ) \
    X( InstanceLaunchInterface ) \
    X( ViewById ) \
    X( ViewCount ) \
    X( ViewAt ) \
    X( WindowActive ) \
    X( WindowMainView ) \
    X( WindowCurrentView )

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
