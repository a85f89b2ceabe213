#include "tests/FakeTensorflow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <sstream>

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
   TF_DataType type = TF_FLOAT;
   std::vector<int64_t> dims;
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
   RunArguments lastRun;
   std::map<const void*, std::string> labels;
   std::set<const void*> live;
   std::map<std::string, int> counters;
   std::vector<std::shared_ptr<void>> pool;
   std::map<std::string, std::shared_ptr<TF_Operation>> operations;
};

State& S()
{
   // Built on first use; a test binary, not the plug-in.
   static State state;
   return state;
}

template <class T, class... A>
T* Make( const std::string& kind, A&&... args )
{
   auto object = std::make_shared<T>( std::forward<A>( args )... );
   T* p = object.get();
   S().pool.push_back( object );
   S().labels[p] = kind + std::to_string( ++S().counters[kind] );
   S().live.insert( p );
   return p;
}

void Record( const std::string& call )
{
   S().calls.push_back( call );
}

// A new handle, or null when told to fail; the call is recorded with its result.
template <class T>
T* New( const char* function, const std::string& kind, bool fails )
{
   T* handle = fails ? nullptr : Make<T>( kind );
   Record( std::string( function ) + "() -> " + Label( handle ) );
   return handle;
}

void Free( const char* function, const void* handle )
{
   Record( std::string( function ) + "(" + Label( handle ) + ")" );
   if ( S().live.erase( handle ) == 0 )
      ADD_FAILURE() << function << " of a handle that is not alive: " << Label( handle );
}

void SetStatus( TF_Status* status, TF_Code code, const char* message )
{
   status->code = code;
   status->message = message;
}

void Use( const char* function, const void* handle )
{
   if ( handle == nullptr || S().live.count( handle ) == 0 )
      ADD_FAILURE() << function << " given a handle that is not alive: " << Label( handle );
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

const std::vector<std::string>& Calls()
{
   return S().calls;
}

void ClearCalls()
{
   S().calls.clear();
}

const RunArguments& LastRun()
{
   return S().lastRun;
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

using fake_tf::Label;
using fake_tf::Record;
using fake_tf::S;

TF_Status* TF_NewStatus()
{
   return fake_tf::New<TF_Status>( "TF_NewStatus", "status", S().behaviour.newStatusFails );
}

void TF_DeleteStatus( TF_Status* status )
{
   fake_tf::Free( "TF_DeleteStatus", status );
}

TF_Code TF_GetCode( const TF_Status* status )
{
   fake_tf::Use( "TF_GetCode", status );
   return status->code;
}

const char* TF_Message( const TF_Status* status )
{
   fake_tf::Use( "TF_Message", status );
   return status->message.c_str();
}

TF_Buffer* TF_NewBuffer()
{
   return fake_tf::New<TF_Buffer>( "TF_NewBuffer", "buffer", S().behaviour.newBufferFails );
}

void TF_DeleteBuffer( TF_Buffer* buffer )
{
   fake_tf::Free( "TF_DeleteBuffer", buffer );
   // As TensorFlow does: the data goes back through the buffer's deallocator.
   if ( buffer != nullptr && buffer->data_deallocator != nullptr )
      buffer->data_deallocator( const_cast<void*>( buffer->data ), buffer->length );
}

TF_Graph* TF_NewGraph()
{
   return fake_tf::New<TF_Graph>( "TF_NewGraph", "graph", S().behaviour.newGraphFails );
}

void TF_DeleteGraph( TF_Graph* graph )
{
   fake_tf::Free( "TF_DeleteGraph", graph );
}

TF_ImportGraphDefOptions* TF_NewImportGraphDefOptions()
{
   return fake_tf::New<TF_ImportGraphDefOptions>( "TF_NewImportGraphDefOptions", "importoptions",
                                                  S().behaviour.newImportOptionsFails );
}

void TF_DeleteImportGraphDefOptions( TF_ImportGraphDefOptions* options )
{
   fake_tf::Free( "TF_DeleteImportGraphDefOptions", options );
}

void TF_GraphImportGraphDef( TF_Graph* graph, const TF_Buffer* buffer, const TF_ImportGraphDefOptions* options,
                             TF_Status* status )
{
   Record( "TF_GraphImportGraphDef(" + Label( graph ) + ", " + Label( buffer ) + ", " + Label( options ) + ", " +
           Label( status ) + ")" );
   fake_tf::Use( "TF_GraphImportGraphDef", graph );
   fake_tf::Use( "TF_GraphImportGraphDef", options );
   fake_tf::Use( "TF_GraphImportGraphDef", status );
   if ( S().behaviour.importFails )
      fake_tf::SetStatus( status, TF_INVALID_ARGUMENT, "fake import failure" );
}

TF_Operation* TF_GraphOperationByName( TF_Graph* graph, const char* name )
{
   Record( "TF_GraphOperationByName(" + Label( graph ) + ", " + name + ")" );
   fake_tf::Use( "TF_GraphOperationByName", graph );
   if ( S().behaviour.operations.count( name ) == 0 )
      return nullptr;
   std::shared_ptr<TF_Operation>& operation = S().operations[name];
   if ( !operation )
      operation = std::make_shared<TF_Operation>();
   S().labels[operation.get()] = name;
   return operation.get();
}

TF_SessionOptions* TF_NewSessionOptions()
{
   return fake_tf::New<TF_SessionOptions>( "TF_NewSessionOptions", "options", false );
}

void TF_DeleteSessionOptions( TF_SessionOptions* options )
{
   fake_tf::Free( "TF_DeleteSessionOptions", options );
}

TF_Session* TF_NewSession( TF_Graph* graph, const TF_SessionOptions* options, TF_Status* status )
{
   fake_tf::Use( "TF_NewSession", graph );
   fake_tf::Use( "TF_NewSession", options );
   fake_tf::Use( "TF_NewSession", status );
   TF_Session* session = nullptr;
   if ( S().behaviour.newSessionFails || S().behaviour.newSessionFailsWithSession )
      fake_tf::SetStatus( status, TF_INTERNAL, "fake session failure" );
   if ( S().behaviour.newSessionFailsWithSession ||
        ( !S().behaviour.newSessionFails && !S().behaviour.newSessionGivesNull ) )
      session = fake_tf::Make<TF_Session>( "session" );
   Record( "TF_NewSession(" + Label( graph ) + ", " + Label( options ) + ", " + Label( status ) + ") -> " +
           Label( session ) );
   return session;
}

void TF_CloseSession( TF_Session* session, TF_Status* status )
{
   Record( "TF_CloseSession(" + Label( session ) + ", " + Label( status ) + ")" );
   fake_tf::Use( "TF_CloseSession", session );
   fake_tf::Use( "TF_CloseSession", status );
}

void TF_DeleteSession( TF_Session* session, TF_Status* status )
{
   Record( "TF_DeleteSession(" + Label( session ) + ", " + Label( status ) + ")" );
   fake_tf::Use( "TF_DeleteSession", status );
   if ( S().live.erase( session ) == 0 )
      ADD_FAILURE() << "TF_DeleteSession of a handle that is not alive: " << Label( session );
}

void TF_SessionRun( TF_Session* session, const TF_Buffer* runOptions,
                    const TF_Output* inputs, TF_Tensor* const* inputValues, int ninputs,
                    const TF_Output* outputs, TF_Tensor** outputValues, int noutputs,
                    const TF_Operation* const* targets, int ntargets,
                    TF_Buffer* runMetadata, TF_Status* status )
{
   Record( "TF_SessionRun(" + Label( session ) + ", " + Label( inputValues[0] ) + ", " + Label( status ) + ")" );
   fake_tf::Use( "TF_SessionRun", session );
   fake_tf::Use( "TF_SessionRun", status );
   S().lastRun = { runOptions, inputs, inputValues, ninputs, outputs, outputValues, noutputs, targets, ntargets, runMetadata };
   if ( S().behaviour.runWritesOutput )
   {
      TF_Tensor* tensor = fake_tf::Make<TF_Tensor>( "tensor" );
      tensor->storage.assign( 4, 0 );
      tensor->reportedSize = 4;
      outputValues[0] = tensor;
   }
   if ( S().behaviour.runFails )
      fake_tf::SetStatus( status, TF_INTERNAL, "fake run failure" );
}

TF_Tensor* TF_AllocateTensor( TF_DataType type, const int64_t* dims, int numDims, size_t length )
{
   std::ostringstream call;
   call << "TF_AllocateTensor(" << int( type ) << ", [";
   for ( int i = 0; i < numDims; ++i )
      call << ( i > 0 ? "," : "" ) << dims[i];
   call << "], " << length << ")";
   TF_Tensor* tensor = nullptr;
   if ( !S().behaviour.allocateTensorFails )
   {
      tensor = fake_tf::Make<TF_Tensor>( "tensor" );
      tensor->type = type;
      tensor->dims.assign( dims, dims + numDims );
      const size_t reported = S().behaviour.tensorByteSize == size_t( -1 ) ? length : S().behaviour.tensorByteSize;
      // Spare bytes past the end show a copy that overruns the reported size.
      tensor->storage.assign( std::max( reported, length ) + 8, 0xAA );
      tensor->reportedSize = reported;
   }
   call << " -> " << Label( tensor );
   Record( call.str() );
   return tensor;
}

void* TF_TensorData( const TF_Tensor* tensor )
{
   fake_tf::Use( "TF_TensorData", tensor );
   if ( S().behaviour.tensorDataIsNull )
      return nullptr;
   return const_cast<unsigned char*>( tensor->storage.data() );
}

size_t TF_TensorByteSize( const TF_Tensor* tensor )
{
   fake_tf::Use( "TF_TensorByteSize", tensor );
   return tensor->reportedSize;
}

void TF_DeleteTensor( TF_Tensor* tensor )
{
   fake_tf::Free( "TF_DeleteTensor", tensor );
}

// Declarations and shapes, for the checks of the graph's input and of the
// run's output: a float input of unknown shape.
TF_DataType TF_OperationOutputType( TF_Output )
{
   return TF_FLOAT;
}

int TF_GraphGetTensorNumDims( TF_Graph* graph, TF_Output, TF_Status* )
{
   fake_tf::Use( "TF_GraphGetTensorNumDims", graph );
   return -1;
}

void TF_GraphGetTensorShape( TF_Graph* graph, TF_Output, int64_t*, int, TF_Status* )
{
   fake_tf::Use( "TF_GraphGetTensorShape", graph );
}

TF_DataType TF_TensorType( const TF_Tensor* tensor )
{
   fake_tf::Use( "TF_TensorType", tensor );
   return tensor->type;
}

int TF_NumDims( const TF_Tensor* tensor )
{
   fake_tf::Use( "TF_NumDims", tensor );
   return int( tensor->dims.size() );
}

int64_t TF_Dim( const TF_Tensor* tensor, int index )
{
   fake_tf::Use( "TF_Dim", tensor );
   return tensor->dims.at( size_t( index ) );
}
