// SPDX-License-Identifier: Apache-2.0
// Where the UDF bridge's structures lie and what they count: set by the
// layout, read by the header writers and the file-structure stream.
//
// Sectors named ..._LSAWRTSession are relative to the start of the image
// being written.  A session-relative sector X is written as
// SessionStarting_LSA + X where an absolute sector is wanted, and as the
// logical block X + SessionStarting_LSA - PartitionStarting_LSA where a
// partition block is wanted: the partition starts at absolute sector 257 and,
// in a later session, reaches back over the earlier sessions.
#ifndef ORVEX_IMAGE_UDF_BRIDGE_INFO_H_
#define ORVEX_IMAGE_UDF_BRIDGE_INFO_H_

#include <cstdint>

#include "image/udf_primitives.h"

namespace orvex {

struct UDFBridgeInformation {
  uint8_t VolumeIdentifier[31] = {};      // the volume label, compression 16
  int8_t UDFVolumeIdentifierLength = 0;   // bytes used in VolumeIdentifier
  uint32_t NumberOfDirectories = 0;       // the root included
  uint32_t NumberOfFiles = 0;
  uint32_t VolumeRecognitionSequence_LSAWRTSession = 0;
  uint32_t AnchorVolumeDescriptorPointer_LSAWRTSession = 0;
  uint32_t MainVolumeDescriptorSequenceExtent_LSAWRTSession = 0;
  uint32_t ReserveVolumeDescriptorSequenceExtent_LSAWRTSession = 0;
  uint32_t LogicalVolumeIntegrityDescriptor_LSAWRTSession = 0;
  uint32_t PartitionStarting_LSA = 0;     // absolute
  uint32_t LengthOfPartitionPortionInSession_LBS = 0;
  uint32_t FileSetDescriptor_LSAWRTSession = 0;
  uint32_t RootDirectoryICB_LSAWRTSession = 0;
  uint32_t NumberOfBlocksRequiredForFileDirStructures = 0;
  uint32_t ISODataPortionStarting_LSAWRTSession = 0;
  uint32_t LastAnchorVolumeDescriptorPointer_LSAWRTSession = 0;
  uint32_t SessionStarting_LSA = 0;       // set by the job: 0 for image files
  bool IsNewPacketRequiredForLastAVDP = false;  // the data ends on a packet boundary
  timestamp UDFTimeStamp;                 // the image time, taken by the layout

  // The logical block of a session-relative sector.
  uint32_t Block(uint32_t session_sector) const {
    return session_sector + SessionStarting_LSA - PartitionStarting_LSA;
  }
};

}  // namespace orvex

#endif  // ORVEX_IMAGE_UDF_BRIDGE_INFO_H_
