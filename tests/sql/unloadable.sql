-- The declaration scripts of both modules fail and change nothing where
-- the engine cannot load the module: each case runs an engine of its own
-- (declare-unloadable.sh).
shell sh declare-unloadable.sh;
