<?php // blank page ?>
