#include "framework/DLModelTensorflow.h"

#include "framework/TensorflowGuards.h"
#include "platform/core/Array.h"
#include "platform/boundary/Console.h"
#include "platform/core/Exception.h"
#include "platform/core/File.h"

#include <memory>

namespace pcl
{

namespace tf = project_pelk::tensorflow;

namespace
{

// Closes and deletes a session that never reached its owner's guard, as a
// guard holding only the session does.
struct SessionCloser
{
   void operator()( TF_Session* session ) const noexcept
   {
      tf::SessionGuard orphan;
      orphan.session = session;
   }
};

// The element types a graph is likely to declare, by TensorFlow's names.
String DataTypeName( TF_DataType type )
{
   switch ( type )
   {
   case TF_FLOAT:  return "float";
   case TF_DOUBLE: return "double";
   case TF_HALF:   return "half";
   case TF_INT8:   return "int8";
   case TF_INT16:  return "int16";
   case TF_INT32:  return "int32";
   case TF_INT64:  return "int64";
   case TF_UINT8:  return "uint8";
   case TF_UINT16: return "uint16";
   case TF_BOOL:   return "bool";
   case TF_STRING: return "string";
   default:        return String::Format( "type %d", int( type ) );
   }
}

// "[1, 512, 512, 3]"; an unknown dimension shows as "?".
String ShapeText( const int64_t* dims, int numDims )
{
   String text = "[";
   for ( int i = 0; i < numDims; ++i )
      text += ( i > 0 ? ", " : "" ) + ( dims[i] < 0 ? String( "?" ) : String( static_cast<long long>( dims[i] ) ) );
   return text + "]";
}

} // namespace

DLModelTensorflow::DLModelTensorflow() = default;

DLModelTensorflow::~DLModelTensorflow() = default;

TF_Graph* DLModelTensorflow::LoadModel( String fileName )
{
   String basePath = GetBasePath();
   try
   {
      if ( File::Exists( fileName ) )
         return LoadGraphDef( fileName );
      return LoadGraphDef( basePath + fileName );
   }
   catch ( ... )
   {
      // Names the directory the user is expected to install into, whichever
      // path was tried; the error itself goes on unchanged.
      Console::CriticalLn( "Unable to load graph definition from " + basePath + "!" );
      throw;
   }
}

TF_Graph* DLModelTensorflow::LoadGraphDef( const String& path )
{
   tf::BufferGuard buffer( ReadBufferFromFile( path ) );
   tf::StatusGuard status;
   TF_Graph* graph = tf::ImportGraphDef( buffer.Get(), status.Get() );
   if ( graph == nullptr )
      // The message is copied while the status that owns it is alive.
      throw Error( "KestrimEngine::LoadGraphDef(): Unable to load graph definition: " +
                   String( tf::Message( status.Get() ) ) );
   return graph;
}

TF_Buffer* DLModelTensorflow::ReadBufferFromFile( const String& path )
{
   // Refused unread: the import would crash on it, or misread it.
   const uint64_t size = File::Size( path );
   if ( size > MaxGraphBytes )
      throw Error( path + String::Format( ": File too large for a TensorFlow graph: %llu bytes (limit %llu).",
                                          static_cast<unsigned long long>( size ),
                                          static_cast<unsigned long long>( MaxGraphBytes ) ) );
   ByteArray bytes = File::ReadFile( path );
   // Held until it is handed over complete; until then the file's bytes stay
   // with the array, which frees them if anything throws.
   std::unique_ptr<TF_Buffer, decltype( &TF_DeleteBuffer )> buffer( TF_NewBuffer(), TF_DeleteBuffer );
   if ( buffer == nullptr )
      throw Error( "TensorFlow buffer allocation failed: buffer is null." );
   // The size first: Release() leaves the array empty.
   buffer->length = bytes.Size();
   buffer->data = bytes.Release();
   buffer->data_deallocator = DeallocateBuffer;
   return buffer.release();
}

void DLModelTensorflow::DeallocateBuffer( void* data, size_t /*length*/ )
{
   StandardAllocator::DeallocateBlock( data );
}

void DLModelTensorflow::CheckStatus( TF_Status* status, const String& context )
{
   if ( status == nullptr )
      throw Error( context + ": TensorFlow status object is null." );
   if ( !tf::IsOk( status ) )
      throw Error( context + ": " + String( TF_Message( status ) ) );
}

TF_Output DLModelTensorflow::RequireOperation( TF_Graph* graph, const char* name )
{
   if ( graph == nullptr )
      throw Error( "TensorFlow graph is null." );
   TF_Operation* operation = tf::FindOperation( graph, name );
   if ( operation == nullptr )
      throw Error( "TensorFlow graph does not contain required operation: " + String( name ) );
   return TF_Output{ operation, 0 };
}

TF_Output DLModelTensorflow::RequireInputOperation( TF_Graph* graph, const char* name, TF_DataType type,
                                                   const int64_t* dims, int numDims )
{
   const TF_Output input = RequireOperation( graph, name );
   const String what = "TensorFlow graph input operation " + String( name );
   const TF_DataType declared = TF_OperationOutputType( input );
   if ( declared != type )
      throw Error( what + " has element type " + DataTypeName( declared ) + ", expected " + DataTypeName( type ) + "." );

   tf::StatusGuard status;
   const int rank = TF_GraphGetTensorNumDims( graph, input, status.Get() );
   CheckStatus( status.Get(), what );
   if ( rank < 0 ) // nothing declared
      return input;
   Array<int64_t> shape( size_t( rank ), int64_t( -1 ) );
   TF_GraphGetTensorShape( graph, input, shape.Begin(), rank, status.Get() );
   CheckStatus( status.Get(), what );
   bool conflicts = rank != numDims;
   for ( int i = 0; i < rank && !conflicts; ++i )
      conflicts = shape[i] >= 0 && shape[i] != dims[i];
   if ( conflicts )
      throw Error( what + " has shape " + ShapeText( shape.Begin(), rank ) + ", which conflicts with " +
                   ShapeText( dims, numDims ) + "." );
   return input;
}

void DLModelTensorflow::CheckOutputTensor( const TF_Tensor* tensor, TF_DataType type, const int64_t* dims,
                                           int numDims, const String& context )
{
   const TF_DataType found = TF_TensorType( tensor );
   if ( found != type )
      throw Error( context + ": output tensor has element type " + DataTypeName( found ) + ", expected " +
                   DataTypeName( type ) + "." );
   const int rank = TF_NumDims( tensor );
   Array<int64_t> shape;
   for ( int i = 0; i < rank; ++i )
      shape.Add( TF_Dim( tensor, i ) );
   bool differs = rank != numDims;
   for ( int i = 0; i < rank && !differs; ++i )
      differs = shape[i] != dims[i];
   if ( differs )
      throw Error( context + ": output tensor has shape " + ShapeText( shape.Begin(), rank ) + ", expected " +
                   ShapeText( dims, numDims ) + "." );
}

TF_Session* DLModelTensorflow::CreateSession( TF_Graph* graph, TF_SessionOptions* options, TF_Status* status )
{
   if ( graph == nullptr )
      throw Error( "Cannot create TensorFlow session for a null graph." );
   if ( options == nullptr )
      throw Error( "Cannot create TensorFlow session with null options." );
   // Held until it is handed over: a session that comes back with a failed
   // status would otherwise be lost when the status is reported.
   std::unique_ptr<TF_Session, SessionCloser> session( tf::CreateSession( graph, options, status ) );
   // The status is judged before the handle, so a missing status is reported
   // as such rather than as a missing session.
   CheckStatus( status, "TensorFlow session creation failed" );
   if ( session == nullptr )
      throw Error( "TensorFlow session creation failed: session is null." );
   return session.release();
}

TF_Tensor* DLModelTensorflow::CreateTensor( TF_DataType type, const int64_t* dims, int numDims,
                                            const void* data, size_t length )
{
   TF_Tensor* tensor = tf::CreateTensor( type, dims, numDims, data, length );
   if ( tensor == nullptr )
      throw Error( "KestrimEngine::CreateTensor(): Failure to allocate tensor from input data." );
   return tensor;
}

void DLModelTensorflow::RunSession( TF_Session* session,
                                    const TF_Output* input, TF_Tensor** inputValues,
                                    const TF_Output* output, TF_Tensor** outputValues,
                                    TF_Status* status, const String& context )
{
   if ( session == nullptr )
      throw Error( context + ": TensorFlow session is null." );
   if ( input == nullptr || output == nullptr )
      throw Error( context + ": TensorFlow operation handle is null." );
   if ( inputValues == nullptr || inputValues[0] == nullptr )
      throw Error( context + ": TensorFlow input tensor is null." );
   if ( outputValues == nullptr )
      throw Error( context + ": TensorFlow output tensor handle is null." );
   // The status tells more than the wrapper's bool, and a null status (no run)
   // is reported through it.
   tf::RunSingleOutputSession( session, input, inputValues, output, outputValues, status );
   CheckStatus( status, context );
   if ( outputValues[0] == nullptr )
      throw Error( context + ": TensorFlow output tensor is null." );
}

} // pcl
