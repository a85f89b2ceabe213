#include "framework/TensorflowGuards.h"

#include <algorithm>
#include <cstring>

namespace project_pelk::tensorflow
{

TensorGuard::~TensorGuard()
{
   if ( m_tensor != nullptr )
      TF_DeleteTensor( m_tensor );
}

StatusGuard::StatusGuard() noexcept : m_status( TF_NewStatus() )
{
}

StatusGuard::~StatusGuard()
{
   if ( m_status != nullptr )
      TF_DeleteStatus( m_status );
}

ImportGraphDefOptionsGuard::ImportGraphDefOptionsGuard() noexcept : m_options( TF_NewImportGraphDefOptions() )
{
}

ImportGraphDefOptionsGuard::~ImportGraphDefOptionsGuard()
{
   if ( m_options != nullptr )
      TF_DeleteImportGraphDefOptions( m_options );
}

BufferGuard::~BufferGuard()
{
   if ( m_buffer != nullptr )
      TF_DeleteBuffer( m_buffer );
}

SessionGuard::~SessionGuard()
{
   TF_Status* closing = status;
   if ( session != nullptr )
   {
      if ( closing == nullptr )
         closing = TF_NewStatus();
      // TensorFlow writes into the status it is given: without one the
      // session is left open rather than handed a null status.
      if ( closing != nullptr )
      {
         TF_CloseSession( session, closing );
         TF_DeleteSession( session, closing );
      }
   }
   if ( closing != status )
      TF_DeleteStatus( closing );
   if ( options != nullptr )
      TF_DeleteSessionOptions( options );
   if ( graph != nullptr )
      TF_DeleteGraph( graph );
   if ( status != nullptr )
      TF_DeleteStatus( status );
}

bool IsOk( TF_Status* status ) noexcept
{
   return status != nullptr && TF_GetCode( status ) == TF_OK;
}

const char* Message( TF_Status* status ) noexcept
{
   return status != nullptr ? TF_Message( status ) : "TensorFlow status object is null.";
}

TF_Operation* FindOperation( TF_Graph* graph, const char* name ) noexcept
{
   if ( graph == nullptr || name == nullptr )
      return nullptr;
   return TF_GraphOperationByName( graph, name );
}

TF_Session* CreateSession( TF_Graph* graph, TF_SessionOptions* options, TF_Status* status ) noexcept
{
   if ( graph == nullptr || options == nullptr || status == nullptr )
      return nullptr;
   return TF_NewSession( graph, options, status );
}

bool RunSingleOutputSession( TF_Session* session,
                             const TF_Output* input, TF_Tensor** inputValues,
                             const TF_Output* output, TF_Tensor** outputValues,
                             TF_Status* status ) noexcept
{
   if ( session == nullptr || input == nullptr || output == nullptr ||
        inputValues == nullptr || inputValues[0] == nullptr || outputValues == nullptr ||
        status == nullptr )
      return false;
   TF_SessionRun( session, nullptr,
                  input, inputValues, 1,
                  output, outputValues, 1,
                  nullptr, 0,
                  nullptr, status );
   return IsOk( status ) && outputValues[0] != nullptr;
}

TF_Tensor* CreateTensor( TF_DataType type, const int64_t* dims, int numDims,
                         const void* data, size_t length ) noexcept
{
   if ( dims == nullptr || numDims < 1 || data == nullptr )
      return nullptr;
   TF_Tensor* tensor = TF_AllocateTensor( type, dims, numDims, length );
   if ( tensor == nullptr )
      return nullptr;
   void* target = TF_TensorData( tensor );
   if ( target == nullptr )
   {
      TF_DeleteTensor( tensor );
      return nullptr;
   }
   // Never past the tensor's end, whatever length the caller claimed.
   std::memcpy( target, data, std::min( length, TF_TensorByteSize( tensor ) ) );
   return tensor;
}

TF_Graph* ImportGraphDef( TF_Buffer* buffer, TF_Status* status ) noexcept
{
   if ( buffer == nullptr || status == nullptr )
      return nullptr;
   TF_Graph* graph = TF_NewGraph();
   if ( graph == nullptr )
      return nullptr;
   // Default options: no prefix, so operations keep the names they have in the file.
   ImportGraphDefOptionsGuard options;
   if ( options.Get() == nullptr )
   {
      TF_DeleteGraph( graph );
      return nullptr;
   }
   TF_GraphImportGraphDef( graph, buffer, options.Get(), status );
   if ( !IsOk( status ) )
   {
      TF_DeleteGraph( graph );
      return nullptr;
   }
   return graph;
}

} // project_pelk::tensorflow
