#ifndef VELQORA_TENSORFLOW_GUARDS_H
#define VELQORA_TENSORFLOW_GUARDS_H

#include <tensorflow/c/c_api.h>

#include <cstddef>
#include <cstdint>

namespace project_pelk::tensorflow
{

// Guards own TensorFlow handles exclusively and free them when they go out of
// scope, on every way out. They are never copied or moved, and never give up
// their handle early. A guard holding null frees nothing.

class TensorGuard
{
public:
   explicit TensorGuard( TF_Tensor* tensor ) noexcept : m_tensor( tensor ) {}
   ~TensorGuard();

   TensorGuard( const TensorGuard& ) = delete;
   TensorGuard& operator=( const TensorGuard& ) = delete;

   TF_Tensor* Get() const noexcept { return m_tensor; }

   // The held slot itself: a one-element array of input values for a run, or
   // the output slot a run writes into, after which this guard owns the result.
   TF_Tensor** Out() noexcept { return &m_tensor; }

private:
   TF_Tensor* m_tensor;
};

class StatusGuard
{
public:
   StatusGuard() noexcept;
   ~StatusGuard();

   StatusGuard( const StatusGuard& ) = delete;
   StatusGuard& operator=( const StatusGuard& ) = delete;

   TF_Status* Get() const noexcept { return m_status; }

private:
   TF_Status* m_status;
};

class ImportGraphDefOptionsGuard
{
public:
   ImportGraphDefOptionsGuard() noexcept;
   ~ImportGraphDefOptionsGuard();

   ImportGraphDefOptionsGuard( const ImportGraphDefOptionsGuard& ) = delete;
   ImportGraphDefOptionsGuard& operator=( const ImportGraphDefOptionsGuard& ) = delete;

   TF_ImportGraphDefOptions* Get() const noexcept { return m_options; }

private:
   TF_ImportGraphDefOptions* m_options;
};

class BufferGuard
{
public:
   explicit BufferGuard( TF_Buffer* buffer ) noexcept : m_buffer( buffer ) {}
   ~BufferGuard();

   BufferGuard( const BufferGuard& ) = delete;
   BufferGuard& operator=( const BufferGuard& ) = delete;

   TF_Buffer* Get() const noexcept { return m_buffer; }

private:
   TF_Buffer* m_buffer;
};

// Everything one execution's session needs. The owner stores each handle the
// moment it is made, so whatever exists when an error passes is freed. The
// session is closed and deleted before the options and graph it was made
// from, and the status, which serves the close, goes last.
struct SessionGuard
{
   ~SessionGuard();

   SessionGuard() = default;
   SessionGuard( const SessionGuard& ) = delete;
   SessionGuard& operator=( const SessionGuard& ) = delete;

   // Null from the start, so a guard declared without a value is safe too.
   TF_Graph* graph = nullptr;
   TF_Status* status = nullptr;
   TF_SessionOptions* options = nullptr;
   TF_Session* session = nullptr;
};

// Wrappers of TensorFlow calls with null checks. They never throw and never
// write anything: a null handle or false is their only signal, and the reason,
// where TensorFlow gives one, stays in the status the caller passed.

// True when the status exists and is TF_OK.
bool IsOk( TF_Status* status ) noexcept;

// The status's message (owned by the status), or a fixed text for no status.
const char* Message( TF_Status* status ) noexcept;

// The named operation, or null when it, the graph or the name is missing.
TF_Operation* FindOperation( TF_Graph* graph, const char* name ) noexcept;

// A new session, or null; TensorFlow is not called when any argument is null.
TF_Session* CreateSession( TF_Graph* graph, TF_SessionOptions* options, TF_Status* status ) noexcept;

// One run with one input and one output. The output tensor written into
// outputValues belongs to the caller, on failure as well.
bool RunSingleOutputSession( TF_Session* session,
                             const TF_Output* input, TF_Tensor** inputValues,
                             const TF_Output* output, TF_Tensor** outputValues,
                             TF_Status* status ) noexcept;

// A new tensor holding a copy of the data (at most the tensor's byte size), or
// null. The length goes to TensorFlow unchecked.
TF_Tensor* CreateTensor( TF_DataType type, const int64_t* dims, int numDims,
                         const void* data, size_t length ) noexcept;

// The graph imported from the serialized buffer, or null with the reason in
// the status. The buffer stays with the caller.
TF_Graph* ImportGraphDef( TF_Buffer* buffer, TF_Status* status ) noexcept;

} // project_pelk::tensorflow

#endif
