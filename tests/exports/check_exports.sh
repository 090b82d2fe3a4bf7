#!/usr/bin/env bash
# Checks the dynamic symbol table of the shared library: the public classes are
# exported, internal classes and third-party code are not.
set -euo pipefail
lib=$1
symbols=$(nm -DC --defined-only "$lib" | cut -d' ' -f3-)
status=0

foreign=$(grep -v -E '^(zorv_interface::|(typeinfo|typeinfo name|vtable) for zorv_interface::|.* zorv_interface::)' <<<"$symbols" || true)
if [ -n "$foreign" ]; then
  echo "exported symbols outside the library's namespace:"; head -20 <<<"$foreign"; status=1
fi

for name in 'zorv_interface::RpcClient::RpcClient' 'zorv_interface::ZorvInterface::getRunningInfo' \
            'zorv_interface::RtdeClient::RtdeClient' 'zorv_interface::InputParser::' 'zorv_interface::OutputBuilder::' \
            'zorv_interface::ScriptClient::ScriptClient' 'typeinfo for zorv_interface::ScriptWriter' \
            'zorv_interface::PackageDispatch::dispatch' 'zorv_interface::print' 'zorv_interface::Log::Get' \
            'zorv_interface::LogBuf::LogBuf' 'zorv_interface::GetDefaultLogHandler' \
            'zorv_interface::BaseClass_statics<void>::log_handler' 'zorv_interface::file_name' \
            'typeinfo for zorv_interface::ZorvException' 'zorv_interface::ReturnValue<zorv_interface::RunningInfo>' \
            'zorv_interface::to_json' 'zorv_interface::from_json'; do
  grep -qF "$name" <<<"$symbols" || { echo "missing export: $name"; status=1; }
done

for name in ConnectorAsio ConnectorScript AsioTcp AsioUds JsonRpcClient ZorvInterfaceImpl; do
  if grep -q "$name" <<<"$symbols"; then echo "internal class exported: $name"; status=1; fi
done
exit $status
