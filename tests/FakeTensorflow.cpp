#include "tests/FakeTensorflow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

// The double's own versions of TensorFlow's opaque types.
struct TSL_Status // TF_Status is an alias of it
{
   TF_Code code = TF_OK;
   std::string message;
};
struct TF_Graph {};
struct TF_ImportGraphDefOptions {};
struct TF_SessionOptions {};
struct TF_Session {};
struct TF_Operation {};
struct TF_Tensor
{
   std::vector<unsigned char> storage;
   size_t reportedSize = 0;
};

namespace fake_tf
{

namespace
{

// Every handle lives in the pool until Reset, so a use after free or a second
// free is caught by the live set instead of crashing.
struct State
{
   Behaviour behaviour;
   std::vector<std::string> calls;
   std::map<const void*, std::string> labels;
   std::set<const void*> live, closed;
   std::map<std::string, int> counters;
   std::vector<std::shared_ptr<void>> pool;
};

State& S()
{
   // Built on first use; a test binary, not the plug-in.
   static State state;
   return state;
}

template <class T>
T* Make( const std::string& kind )
{
   auto object = std::make_shared<T>();
   S().pool.push_back( object );
   S().labels[object.get()] = kind + std::to_string( ++S().counters[kind] );
   S().live.insert( object.get() );
   return object.get();
}

template <class... H>
void Use( const char* function, const H*... handles )
{
   for ( const void* handle : { static_cast<const void*>( handles )... } )
      if ( handle == nullptr || S().live.count( handle ) == 0 )
         ADD_FAILURE() << function << " given a handle that is not alive: " << Label( handle );
}

void Free( const char* function, const void* handle )
{
   Use( function, handle );
   S().live.erase( handle );
}

// A new handle, or null when told to fail; the call is logged with its result.
template <class T>
T* New( const char* function, const std::string& kind, bool fails )
{
   T* handle = fails ? nullptr : Make<T>( kind );
   S().calls.push_back( std::string( function ) + "() -> " + Label( handle ) );
   return handle;
}

void SetStatus( TF_Status* status, TF_Code code, const char* message )
{
   status->code = code;
   status->message = message;
}

} // namespace

void Reset()
{
   for ( const void* handle : S().live )
      ADD_FAILURE() << "handle left alive: " << Label( handle );
   S() = State();
}

Behaviour& Behave()
{
   return S().behaviour;
}

std::vector<std::string>& Calls()
{
   return S().calls;
}

std::string Label( const void* handle )
{
   if ( handle == nullptr )
      return "null";
   auto i = S().labels.find( handle );
   return i != S().labels.end() ? i->second : "unknown";
}

const std::vector<unsigned char>& TensorStorage( const TF_Tensor* tensor )
{
   return tensor->storage;
}

} // fake_tf

using namespace fake_tf;

TF_Status* TF_NewStatus() { return New<TF_Status>( "TF_NewStatus", "status", S().behaviour.newStatusFails ); }
TF_Buffer* TF_NewBuffer() { return New<TF_Buffer>( "TF_NewBuffer", "buffer", S().behaviour.newBufferFails ); }
TF_Graph* TF_NewGraph() { return New<TF_Graph>( "TF_NewGraph", "graph", S().behaviour.newGraphFails ); }
TF_SessionOptions* TF_NewSessionOptions() { return New<TF_SessionOptions>( "TF_NewSessionOptions", "options", false ); }
TF_ImportGraphDefOptions* TF_NewImportGraphDefOptions()
{
   return New<TF_ImportGraphDefOptions>( "TF_NewImportGraphDefOptions", "importoptions",
                                         S().behaviour.newImportOptionsFails );
}

void TF_DeleteStatus( TF_Status* status ) { Free( "TF_DeleteStatus", status ); }
void TF_DeleteImportGraphDefOptions( TF_ImportGraphDefOptions* o ) { Free( "TF_DeleteImportGraphDefOptions", o ); }
void TF_DeleteTensor( TF_Tensor* tensor ) { Free( "TF_DeleteTensor", tensor ); }
void TF_DeleteGraph( TF_Graph* graph ) { Free( "TF_DeleteGraph", graph ); }
void TF_DeleteSessionOptions( TF_SessionOptions* o ) { Free( "TF_DeleteSessionOptions", o ); }

void TF_DeleteBuffer( TF_Buffer* buffer )
{
   Free( "TF_DeleteBuffer", buffer );
   // As TensorFlow does: the data goes back through the buffer's deallocator.
   if ( buffer != nullptr && buffer->data_deallocator != nullptr )
      buffer->data_deallocator( const_cast<void*>( buffer->data ), buffer->length );
}

TF_Code TF_GetCode( const TF_Status* status )
{
   Use( "TF_GetCode", status );
   return status->code;
}

const char* TF_Message( const TF_Status* status )
{
   Use( "TF_Message", status );
   return status->message.c_str();
}

void TF_GraphImportGraphDef( TF_Graph* graph, const TF_Buffer* buffer, const TF_ImportGraphDefOptions* options,
                             TF_Status* status )
{
   Use( "TF_GraphImportGraphDef", graph, buffer, options, status );
   if ( S().behaviour.importFails )
      SetStatus( status, TF_INVALID_ARGUMENT, "fake import failure" );
}

TF_Operation* TF_GraphOperationByName( TF_Graph* graph, const char* name )
{
   Use( "TF_GraphOperationByName", graph );
   TF_Operation* operation = Make<TF_Operation>( "operation" );
   S().live.erase( operation ); // owned by the graph
   S().labels[operation] = name;
   return operation;
}

TF_Session* TF_NewSession( TF_Graph* graph, const TF_SessionOptions* options, TF_Status* status )
{
   Use( "TF_NewSession", graph, options, status );
   const Behaviour& b = S().behaviour;
   if ( b.newSessionFails || b.newSessionFailsWithSession )
      SetStatus( status, TF_INTERNAL, "fake session failure" );
   if ( !b.newSessionFailsWithSession && ( b.newSessionFails || b.newSessionGivesNull ) )
      return nullptr;
   return Make<TF_Session>( "session" );
}

void TF_CloseSession( TF_Session* session, TF_Status* status )
{
   Use( "TF_CloseSession", session, status );
   S().closed.insert( session );
}

void TF_DeleteSession( TF_Session* session, TF_Status* status )
{
   Use( "TF_DeleteSession", status );
   if ( S().closed.count( session ) == 0 )
      ADD_FAILURE() << "TF_DeleteSession of a session not closed: " << Label( session );
   Free( "TF_DeleteSession", session );
}

void TF_SessionRun( TF_Session* session, const TF_Buffer* runOptions,
                    const TF_Output* inputs, TF_Tensor* const* inputValues, int ninputs,
                    const TF_Output* outputs, TF_Tensor** outputValues, int noutputs,
                    const TF_Operation* const* targets, int ntargets,
                    TF_Buffer* runMetadata, TF_Status* status )
{
   S().calls.push_back( "TF_SessionRun(" + Label( session ) + ", " + Label( runOptions ) + ", " + Label( inputs[0].oper ) +
                        ", " + Label( inputValues[0] ) + ", " + std::to_string( ninputs ) + ", " +
                        Label( outputs[0].oper ) + ", " + std::to_string( noutputs ) + ", " + Label( targets ) + ", " +
                        std::to_string( ntargets ) + ", " + Label( runMetadata ) + ", " + Label( status ) + ")" );
   Use( "TF_SessionRun", session, inputValues[0], status );
   if ( S().behaviour.runWritesOutput )
      outputValues[0] = Make<TF_Tensor>( "tensor" );
   if ( S().behaviour.runFails )
      SetStatus( status, TF_INTERNAL, "fake run failure" );
}

TF_Tensor* TF_AllocateTensor( TF_DataType type, const int64_t* dims, int numDims, size_t length )
{
   std::string shape;
   for ( int i = 0; i < numDims; ++i )
      shape += ( i > 0 ? "," : "" ) + std::to_string( dims[i] );
   TF_Tensor* tensor = S().behaviour.allocateTensorFails ? nullptr : Make<TF_Tensor>( "tensor" );
   S().calls.push_back( "TF_AllocateTensor(" + std::to_string( type ) + ", [" + shape + "], " +
                        std::to_string( length ) + ") -> " + Label( tensor ) );
   if ( tensor != nullptr )
   {
      const size_t reported = S().behaviour.tensorByteSize == size_t( -1 ) ? length : S().behaviour.tensorByteSize;
      // Spare bytes past the end show a copy that overruns the reported size.
      tensor->storage.assign( std::max( reported, length ) + 8, 0xAA );
      tensor->reportedSize = reported;
   }
   return tensor;
}

void* TF_TensorData( const TF_Tensor* tensor )
{
   Use( "TF_TensorData", tensor );
   return S().behaviour.tensorDataIsNull ? nullptr : const_cast<unsigned char*>( tensor->storage.data() );
}

size_t TF_TensorByteSize( const TF_Tensor* tensor )
{
   Use( "TF_TensorByteSize", tensor );
   return tensor->reportedSize;
}

// Declarations and shapes: the checks of the graph's input and of the run's
// output call them, but no test of the double reaches those checks.
TF_DataType TF_OperationOutputType( TF_Output ) { return TF_FLOAT; }
int TF_GraphGetTensorNumDims( TF_Graph*, TF_Output, TF_Status* ) { return -1; }
void TF_GraphGetTensorShape( TF_Graph*, TF_Output, int64_t*, int, TF_Status* ) {}
TF_DataType TF_TensorType( const TF_Tensor* ) { return TF_FLOAT; }
int TF_NumDims( const TF_Tensor* ) { return 0; }
int64_t TF_Dim( const TF_Tensor*, int ) { return 0; }
