<?php
// Logging out deletes the "remember me" cookie: an expiry in the past.
setcookie('remember', '', ['expires' => 1, 'path' => '/']);
header('Content-Type: text/plain');
echo "bye\n";
