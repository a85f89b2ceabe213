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

/* Interface controls. The host keeps every control and sizer as data; the
 * module makes and changes them through these functions and hears of a user's
 * changes through the callback it registers for each control. */
typedef void* host_control_handle;

/* Kinds of control the host makes. Sizers lay out controls and other sizers. */
enum {
    HOST_CONTROL_FRAME = 1, /* a plain control that holds others */
    HOST_CONTROL_LABEL = 2,
    HOST_CONTROL_EDIT = 3,
    HOST_CONTROL_SLIDER = 4,
    HOST_CONTROL_COMBO_BOX = 5,
    HOST_CONTROL_CHECK_BOX = 6,
    HOST_CONTROL_HORIZONTAL_SIZER = 7,
    HOST_CONTROL_VERTICAL_SIZER = 8,
    HOST_CONTROL_WINDOW = 9 /* made by the host for a declared interface only */
};

/* Control properties. Sizes are physical pixels. */
enum {
    HOST_PROPERTY_TEXT = 1,           /* text: label, edit, check box; a window's title */
    HOST_PROPERTY_TOOL_TIP = 2,       /* text */
    HOST_PROPERTY_MIN_WIDTH = 3,
    HOST_PROPERTY_FIXED_WIDTH = 4,
    HOST_PROPERTY_FIXED_HEIGHT = 5,
    HOST_PROPERTY_WIDTH = 6,          /* read only */
    HOST_PROPERTY_HEIGHT = 7,         /* read only */
    HOST_PROPERTY_VALUE = 8,          /* slider position, combo box item, check box state */
    HOST_PROPERTY_MINIMUM = 9,        /* slider range; an edit's accepted range */
    HOST_PROPERTY_MAXIMUM = 10,
    HOST_PROPERTY_PRECISION = 11,     /* an edit's decimals */
    HOST_PROPERTY_TEXT_ALIGNMENT = 12,/* label: HOST_ALIGN_* bits */
    HOST_PROPERTY_MARGIN = 13,        /* sizer */
    HOST_PROPERTY_SPACING = 14,       /* sizer */
    HOST_PROPERTY_DISPLAY_PIXEL_RATIO = 15 /* read only; any control or sizer */
};

enum {
    HOST_ALIGN_LEFT = 0x01, HOST_ALIGN_RIGHT = 0x02, HOST_ALIGN_HORZ_CENTER = 0x04,
    HOST_ALIGN_TOP = 0x10, HOST_ALIGN_BOTTOM = 0x20, HOST_ALIGN_VERT_CENTER = 0x40
};

/* What a sizer item is: a control or sizer with a stretch factor, a fixed
 * spacing in pixels, or an empty stretch with a factor. */
enum { HOST_SIZER_ITEM = 1, HOST_SIZER_SPACING = 2, HOST_SIZER_STRETCH = 3 };

/* A user's change to a control. */
enum {
    HOST_EVENT_VALUE_CHANGED = 1,  /* slider moved: value = position */
    HOST_EVENT_EDIT_COMPLETED = 2, /* edit text entered: text */
    HOST_EVENT_ITEM_SELECTED = 3,  /* combo box: value = item index */
    HOST_EVENT_CLICKED = 4         /* check box: value = new state, 0 or 1 */
};

typedef struct host_control_event {
    int32_t type;
    double value;
    const char16_t* text;
    size_t length;
} host_control_event;

/* The module's handler of one control's events; returns 0 when it handled
 * the event without failure. */
typedef struct host_control_callbacks {
    void* data;
    int32_t (*event)(void* data, const host_control_event* event);
} host_control_callbacks;

/* Null on failure. */
typedef host_control_handle (*ControlCreate_t)(int32_t kind);            /* "ControlCreate" */
typedef void (*ControlDestroy_t)(host_control_handle);                   /* "ControlDestroy" */
typedef int32_t (*ControlSetText_t)(host_control_handle, int32_t property, const char16_t* text,
                                    size_t length);                      /* "ControlSetText" */
typedef int32_t (*ControlSetNumber_t)(host_control_handle, int32_t property, double value); /* "ControlSetNumber" */
typedef int32_t (*ControlGetNumber_t)(host_control_handle, int32_t property, double* value); /* "ControlGetNumber" */
typedef int32_t (*ControlAddItem_t)(host_control_handle, const char16_t* text, size_t length); /* "ControlAddItem" */
typedef int32_t (*ControlSetCallbacks_t)(host_control_handle,
                                         const host_control_callbacks*); /* "ControlSetCallbacks" */
/* Lays the control's children out with the sizer. */
typedef int32_t (*ControlSetSizer_t)(host_control_handle, host_control_handle sizer); /* "ControlSetSizer" */
/* Gives the control the size its contents ask for. */
typedef int32_t (*ControlAdjustToContents_t)(host_control_handle);     /* "ControlAdjustToContents" */
/* HOST_SIZER_*: item is the control or sizer of HOST_SIZER_ITEM, else null. */
typedef int32_t (*SizerAdd_t)(host_control_handle sizer, int32_t itemKind, host_control_handle item,
                              int32_t amount);                           /* "SizerAdd" */
/* The width of a text in the control's font, in physical pixels. */
typedef int32_t (*FontTextWidth_t)(host_control_handle, const char16_t* text, size_t length,
                                   int32_t* width);                      /* "FontTextWidth" */

/* Process interfaces. The module declares each interface, after the process
 * it belongs to, at initialisation; the host makes the interface's window
 * and works with the interface through the callbacks of the declaration. */
typedef void* module_interface_handle; /* the module's interface object */

typedef struct module_interface_callbacks {
    /* Opens the interface for the process (the instance, if any, is the one
     * the user opened it with). 0 on success; whether the interface took the
     * process in `launched`, its dynamic mode in `dynamic`; `flags` in and out. */
    int32_t (*Launch)(module_interface_handle, module_process_handle process, module_instance_handle instance,
                      int32_t* dynamic, uint32_t* flags, int32_t* launched);
    /* A new instance with the interface's values, owned by the host; null on failure. */
    module_instance_handle (*NewProcess)(module_interface_handle);
    /* Takes the instance's values. 0 on success, the interface's answer in `imported`. */
    int32_t (*ImportProcess)(module_interface_handle, module_instance_handle, int32_t* imported);
    /* Back to the default values. 0 on success. */
    int32_t (*ResetInstance)(module_interface_handle);
    /* Executes the interface's instance on the current view. 0 on success. */
    int32_t (*ApplyInstance)(module_interface_handle);
    /* Nonzero when the interface takes the instance; else 0, the reason
     * handed to `whyNot`. Called only when the declaration asks for it. */
    int32_t (*ValidateProcess)(module_interface_handle, module_instance_handle, host_text_sink whyNot,
                               void* context);
} module_interface_callbacks;

typedef struct host_interface_desc {
    const char* id;
    uint32_t version;
    const char* const* iconXPM; /* as a process's icon; null when none */
    module_process_handle process; /* the declared process whose interface it is */
    int32_t canImportInstances;
    int32_t isInstanceGenerator;
    int32_t requiresInstanceValidation;
    module_interface_handle object;
    const module_interface_callbacks* callbacks; /* lives as long as the module */
} host_interface_desc;

/* The host makes the interface's window and hands it over in `window`. */
typedef int32_t (*InterfaceDeclare_t)(const host_interface_desc*, host_control_handle* window); /* "InterfaceDeclare" */

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
    X( WindowCurrentView ) \
    X( ControlCreate ) \
    X( ControlDestroy ) \
    X( ControlSetText ) \
    X( ControlSetNumber ) \
    X( ControlGetNumber ) \
    X( ControlAddItem ) \
    X( ControlSetCallbacks ) \
    X( ControlSetSizer ) \
    X( ControlAdjustToContents ) \
    X( SizerAdd ) \
    X( FontTextWidth ) \
    X( InterfaceDeclare )

/* What identification hands over (phase 1): the module object's metadata.
 * `version` is the module's own static string; the rest stay valid until
 * phase 255. */
typedef struct host_module_description {
    const char* uniqueId;
    const char* version;
    const char* name;
    const char16_t* description;
    const char16_t* company;
    const char16_t* author;
    const char16_t* copyright;
    const char16_t* tradeMarks;
    const char16_t* fileName;
    int32_t releaseYear;
    int32_t releaseMonth;
    int32_t releaseDay;
} host_module_description;

/* Identification phases: build the description, hand it over, free it. */
enum { HOST_IDENTIFY_BUILD = 0, HOST_IDENTIFY_GET = 1, HOST_IDENTIFY_FREE = 255 };

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
