#ifndef VELQORA_DL_MODEL_BASE_H
#define VELQORA_DL_MODEL_BASE_H

#include "framework/TileAccumulator.h"
#include "framework/TileGeometry.h"
#include "platform/core/Array.h"
#include "platform/image/GenericImage.h"
#include "platform/image/HistogramTransformation.h"
#include "platform/core/String.h"
#include "platform/image/View.h"

#include <span>
#include <tuple>
#include <vector>

namespace pcl
{

// The record that carries one image through the pipeline: the tiling
// configuration the concrete model sets, the image's properties and tile grid
// (ReadImageProps), and the per-channel stretch. Every pipeline step reads
// these fields instead of taking arguments, so ReadImageProps runs first.
class DLModelBase
{
public:
   DLModelBase();
   virtual ~DLModelBase();

   // Hook for the concrete model's banner; empty here.
   virtual void PrintIntroGraphic();

   // The directory where weights files are looked up: "/opt/PixInsight/bin/".
   String GetBasePath();

   // The coffee cup shown before a long run: 13 console lines.
   void PrintCoffeeGraphic();

   // Image properties, stride fit, tile grid, checks and (verbose) report.
   template <class P>
   void ReadImageProps( GenericImage<P>& image, bool verbose );

   // Stretch and destretch of linear data.
   bool IsSTFIdentity( View& view );
   template <class P>
   void StretchImage( GenericImage<P>& image, View& view );
   template <class P>
   void DeStretchImage( GenericImage<P>& image );
   // For a destretch of the image made elsewhere, reports on the image's
   // status monitor what DeStretchImage's transformations report there: one
   // "Histogram transformation" over the image's rows for each channel whose
   // midtones transfer is not the identity. Each report answers a pending
   // abort request as theirs would, by throwing ProcessAborted.
   template <class P>
   void ReportDeStretch( const GenericImage<P>& image );

   // Throws "<what> contains non-finite sample values." for a NaN or an
   // infinity anywhere in the image.
   template <class P>
   void ValidateFiniteImage( GenericImage<P>& image, const char* what );

   // Tile grid.
   std::tuple<int, int> GetTileCoords( int index ) { return geometry.TileCoords( index ); }
   double GetWeight( int tileX, int tileY, int i, int j ) { return geometry.Weight( tileX, tileY, i, j ); }

   // The input batch whose first tile is `start`, in the network's tensor
   // layout, into `batch` (batchSize x window x window x 3 floats). The tiles
   // are those of the padded image, whose samples are read from the image
   // itself, mirrored at its edges; slots past the last tile are zero.
   template <class P>
   void GetInputBatch( const GenericImage<P>& image, int start, float* batch );

   // Adds the network's output for the batch whose first tile is `start` into
   // `output`. Throws for a sample that is not finite, naming its tile.
   void WriteOutputBatch( project_pelk::TileAccumulator& output, const float* data, int start );

protected:
   // One line of a console graphic: its colour escape and its text.
   struct GraphicLine
   {
      const char* colour;
      const char* text;
   };

   // Writes the lines, each in its colour and reset after it, between two
   // "<end><cbr><br>" lines.
   static void PrintGraphic( std::span<const GraphicLine> lines );

public:
   // Configuration, set by the concrete model; image properties and grid, set
   // by ReadImageProps. Zero until then.
   int windowSize = 0;
   int batchSize = 0;
   int stride = 0;
   double shadowsClipping = 0;
   double targetBackground = 0;
   int paddedHeight = 0;
   int paddedWidth = 0;
   int padLeft = 0;
   int padRight = 0;
   int padTop = 0;
   int padBottom = 0;
   int margin = 0;
   project_pelk::TileGeometry geometry;
   int tileCount = 0;
   bool hasAlpha = false;
   bool isFloatSample = false;
   int numberOfChannels = 0;
   int height = 0;
   int width = 0;
   int colorSpace = 0;
   int bitsPerSample = 0;
   Array<HistogramTransformation> stf;

private:
   // Rows of a tile being cut out of the image, for GetInputBatch.
   std::vector<float> inputRows;
};

} // pcl

#endif
