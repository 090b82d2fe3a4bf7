#pragma once

// The whole public interface of the SDK.
#include "zorv_interface/export.h"
#include "zorv_interface/log.h"
#include "zorv_interface/zorv_exception.h"
#include "zorv_interface/codec.h"
#include "zorv_interface/types.h"
#include "zorv_interface/return_value.h"
#include "zorv_interface/zorv_interface.h"
#include "zorv_interface/rpc_client.h"
#include "zorv_interface/rtde_recipe.h"
#include "zorv_interface/input_parser.h"
#include "zorv_interface/output_builder.h"
#include "zorv_interface/rtde_client.h"
#include "zorv_interface/script_writer.h"
#include "zorv_interface/script_client.h"
