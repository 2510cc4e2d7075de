implementation
{ open
 comment (* x
*) y }
(* ansi
 still *)
// slashes
function F: Integer; forward;
procedure Q; begin end;
