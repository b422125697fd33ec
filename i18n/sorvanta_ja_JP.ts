<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
    <context>
        <name>ChannelMetersItem</name>
        <message>
            <source>CHANNEL LEVELS</source>
            <translation>チャンネルレベル</translation>
        </message>
        <message>
            <source>waiting for samples</source>
            <translation>サンプル待機中</translation>
        </message>
    </context>
    <context>
        <name>SpectrogramItem</name>
        <message>
            <source>SPECTRUM PREVIEW</source>
            <translation>スペクトルプレビュー</translation>
        </message>
        <message>
            <source>waiting for samples</source>
            <translation>サンプル待機中</translation>
        </message>
    </context>
    <context>
        <name>FilePickerDialog</name>
        <message>
            <source>Cannot open folder: </source>
            <translation>フォルダーを開けません: </translation>
        </message>
        <message>
            <source>New Folder</source>
            <translation>新しいフォルダー</translation>
        </message>
        <message>
            <source>Cannot create folder here</source>
            <translation>ここにはフォルダーを作成できません</translation>
        </message>
        <message>
            <source>A folder with this name already exists</source>
            <translation>同じ名前のフォルダーが既にあります</translation>
        </message>
        <message>
            <source>Invalid folder name</source>
            <translation>無効なフォルダー名です</translation>
        </message>
        <message>
            <source>Selected: </source>
            <translation>選択: </translation>
        </message>
        <message>
            <source>Enter a file name</source>
            <translation>ファイル名を入力してください</translation>
        </message>
        <message>
            <source>Save to: </source>
            <translation>保存先: </translation>
        </message>
        <message>
            <source>Select a file</source>
            <translation>ファイルを選択してください</translation>
        </message>
        <message>
            <source>Up</source>
            <translation>上へ</translation>
        </message>
        <message>
            <source>Empty folder</source>
            <translation>空のフォルダー</translation>
        </message>
        <message>
            <source>File name:</source>
            <translation>ファイル名:</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>キャンセル</translation>
        </message>
        <message>
            <source>OK</source>
            <translation>OK</translation>
        </message>
    </context>
    <context>
        <name>MeasurementsPage</name>
        <message>
            <source>Location: %1</source>
            <translation>場所: %1</translation>
        </message>
        <message>
            <source>Scene: %1</source>
            <translation>シーン: %1</translation>
        </message>
        <message>
            <source>Project</source>
            <translation>プロジェクト</translation>
        </message>
        <message>
            <source>Open or create a local Sorvanta project</source>
            <translation>ローカルの Sorvanta プロジェクトを開くか作成してください</translation>
        </message>
        <message>
            <source>New</source>
            <translation>新規</translation>
        </message>
        <message>
            <source>Open</source>
            <translation>開く</translation>
        </message>
        <message>
            <source>Recent</source>
            <translation>最近</translation>
        </message>
        <message>
            <source>Refresh</source>
            <translation>更新</translation>
        </message>
        <message>
            <source>Delete</source>
            <translation>削除</translation>
        </message>
        <message>
            <source>MEASUREMENTS</source>
            <translation>測定</translation>
        </message>
        <message>
            <source>manifest index</source>
            <translation>マニフェスト索引</translation>
        </message>
        <message>
            <source>No Measurements in this Project</source>
            <translation>このプロジェクトには測定がありません</translation>
        </message>
        <message>
            <source>No Project open</source>
            <translation>プロジェクトが開かれていません</translation>
        </message>
        <message>
            <source>Measurement inspector</source>
            <translation>測定インスペクター</translation>
        </message>
        <message>
            <source>Historical data is interpreted with its frozen Device Profile, never the current Live Profile.</source>
            <translation>過去のデータは、現在のライブプロファイルではなく、記録時に固定されたデバイスプロファイルで解釈されます。</translation>
        </message>
        <message>
            <source>Immutable Measurement</source>
            <translation>変更不可の測定</translation>
        </message>
        <message>
            <source>FROZEN DEVICE PROFILE</source>
            <translation>固定デバイスプロファイル</translation>
        </message>
        <message>
            <source>Recorded profile hash  %1</source>
            <translation>記録時のプロファイルハッシュ  %1</translation>
        </message>
        <message>
            <source>Geometry hash  %1</source>
            <translation>ジオメトリハッシュ  %1</translation>
        </message>
        <message>
            <source>RAW ASSET PRESENT  ·  Recorded raw hash  %1</source>
            <translation>生データあり  ·  記録時の生データハッシュ  %1</translation>
        </message>
        <message>
            <source>RAW ASSET MISSING  ·  Recorded raw hash  %1</source>
            <translation>生データなし  ·  記録時の生データハッシュ  %1</translation>
        </message>
        <message>
            <source>Manage Measurement</source>
            <translation>測定の管理</translation>
        </message>
        <message>
            <source>Alias/notes are metadata only - raw payload and hashes stay immutable</source>
            <translation>別名とメモはメタデータのみです - 生データとハッシュは変更されません</translation>
        </message>
        <message>
            <source>Replay</source>
            <translation>リプレイ</translation>
        </message>
        <message>
            <source>Rename</source>
            <translation>名前の変更</translation>
        </message>
        <message>
            <source>Note</source>
            <translation>メモ</translation>
        </message>
        <message>
            <source>Alias: %1</source>
            <translation>別名: %1</translation>
        </message>
        <message>
            <source>Select a valid Measurement</source>
            <translation>有効な測定を選択してください</translation>
        </message>
        <message>
            <source>Open a Project to inspect its Measurements</source>
            <translation>測定を確認するにはプロジェクトを開いてください</translation>
        </message>
        <message>
            <source>invalid</source>
            <translation>無効</translation>
        </message>
        <message>
            <source>RAW ASSET MISSING · %1 ch · %2 Hz</source>
            <translation>生データなし · %1 ch · %2 Hz</translation>
        </message>
        <message>
            <source>profile unknown</source>
            <translation>プロファイル不明</translation>
        </message>
        <message>
            <source>video</source>
            <translation>映像</translation>
        </message>
        <message>
            <source>Select Sorvanta Project Directory</source>
            <translation>Sorvanta プロジェクトのフォルダーを選択</translation>
        </message>
        <message>
            <source>Cannot Create Project</source>
            <translation>プロジェクトを作成できません</translation>
        </message>
        <message>
            <source>Create Sorvanta Project</source>
            <translation>Sorvanta プロジェクトの作成</translation>
        </message>
        <message>
            <source>The selected folder becomes the Project root (must be empty). The Project name below is the display name.</source>
            <translation>選択したフォルダーがプロジェクトのルートになります（空である必要があります）。下のプロジェクト名は表示名です。</translation>
        </message>
        <message>
            <source>Project name</source>
            <translation>プロジェクト名</translation>
        </message>
        <message>
            <source>Project Found in Subfolder</source>
            <translation>サブフォルダーにプロジェクトがあります</translation>
        </message>
        <message>
            <source>The selected folder does not contain a project, but the following project was found inside it. Open it?</source>
            <translation>選択したフォルダーにはプロジェクトがありませんが、その中に次のプロジェクトが見つかりました。開きますか？</translation>
        </message>
        <message>
            <source>No Project in Folder</source>
            <translation>フォルダーにプロジェクトがありません</translation>
        </message>
        <message>
            <source>There is no project in the selected folder:
%1

Create a new project here?</source>
            <translation>選択したフォルダーにはプロジェクトがありません:
%1

ここに新しいプロジェクトを作成しますか？</translation>
        </message>
        <message>
            <source>Recent Projects</source>
            <translation>最近のプロジェクト</translation>
        </message>
        <message>
            <source>No recent projects yet</source>
            <translation>最近のプロジェクトはまだありません</translation>
        </message>
        <message>
            <source>Delete Project</source>
            <translation>プロジェクトの削除</translation>
        </message>
        <message>
            <source>Permanently delete project "%1"?

All Measurements, raw recordings, video tracks and AnalysisRuns under
%2
are removed from disk. This cannot be undone.</source>
            <translation>プロジェクト「%1」を完全に削除しますか？

次の場所にあるすべての測定、生の記録、映像トラック、解析結果
%2
がディスクから削除されます。この操作は元に戻せません。</translation>
        </message>
        <message>
            <source>Rename Measurement</source>
            <translation>測定の名前の変更</translation>
        </message>
        <message>
            <source>Display alias (empty clears it). The measurement id and raw payload never change.</source>
            <translation>表示用の別名（空にすると消去）。測定 ID と生データは変わりません。</translation>
        </message>
        <message>
            <source>Measurement Note</source>
            <translation>測定メモ</translation>
        </message>
        <message>
            <source>Time</source>
            <translation>時刻</translation>
        </message>
        <message>
            <source>Location</source>
            <translation>場所</translation>
        </message>
        <message>
            <source>Building / room / site</source>
            <translation>建物 / 部屋 / 現場</translation>
        </message>
        <message>
            <source>Scene</source>
            <translation>シーン</translation>
        </message>
        <message>
            <source>Remarks</source>
            <translation>備考</translation>
        </message>
        <message>
            <source>Test conditions, source position, observations...</source>
            <translation>試験条件、音源位置、観察事項など…</translation>
        </message>
        <message>
            <source>Delete Measurement</source>
            <translation>測定の削除</translation>
        </message>
        <message>
            <source>Permanently delete %1?

Raw recording, video track and all AnalysisRuns are removed from disk. This cannot be undone.</source>
            <translation>%1 を完全に削除しますか？

生の記録、映像トラック、すべての解析結果がディスクから削除されます。この操作は元に戻せません。</translation>
        </message>
        <message numerus="yes">
            <source>%n measurement</source>
            <translation>
                <numerusform>測定 %n 件</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>%n measurements</source>
            <translation>
                <numerusform>測定 %n 件</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>%1 ch · %2 Hz · %n analysis</source>
            <translation>
                <numerusform>%1 ch · %2 Hz · 解析 %n 件</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>%1 ch · %2 Hz · %n analyses</source>
            <translation>
                <numerusform>%1 ch · %2 Hz · 解析 %n 件</numerusform>
            </translation>
        </message>
        <message>
            <source>Remove from Recent Projects (the folder stays on disk)</source>
            <translation>最近のプロジェクトから削除（フォルダーはディスクに残ります）</translation>
        </message>
    </context>
    <context>
        <name>Theme</name>
        <message>
            <source>Abyss Black</source>
            <translation>アビスブラック</translation>
        </message>
        <message>
            <source>Deep Blue</source>
            <translation>ディープブルー</translation>
        </message>
        <message>
            <source>Graphite Gray</source>
            <translation>グラファイトグレー</translation>
        </message>
        <message>
            <source>Slate Copper</source>
            <translation>スレートカッパー</translation>
        </message>
        <message>
            <source>Mist Cyan</source>
            <translation>ミストシアン</translation>
        </message>
        <message>
            <source>Midnight Teal</source>
            <translation>ミッドナイトティール</translation>
        </message>
        <message>
            <source>Carbon Amber</source>
            <translation>カーボンアンバー</translation>
        </message>
        <message>
            <source>Medical</source>
            <translation>メディカル</translation>
        </message>
        <message>
            <source>Light</source>
            <translation>ライト</translation>
        </message>
    </context>
    <context>
        <name>ThemedDialog</name>
        <message>
            <source>OK</source>
            <translation>OK</translation>
        </message>
        <message>
            <source>Yes</source>
            <translation>はい</translation>
        </message>
        <message>
            <source>No</source>
            <translation>いいえ</translation>
        </message>
        <message>
            <source>Close</source>
            <translation>閉じる</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>キャンセル</translation>
        </message>
    </context>
    <context>
        <name>UiController</name>
        <message>
            <source>No data from the array for %1 s</source>
            <translation>アレイから %1 秒間データがありません</translation>
        </message>
        <message>
            <source>Recording stopped: no data from the array for %1 s</source>
            <translation>記録を停止しました：アレイから %1 秒間データがありません</translation>
        </message>
        <message>
            <source>Only rejected datagrams from the array for %1 s: their length does not match the Device Profile (%2 bytes expected)</source>
            <translation>アレイから %1 秒間、拒否されたデータグラムのみ受信：長さがデバイスプロファイルと一致しません（期待値 %2 バイト）</translation>
        </message>
        <message>
            <source>Recording stopped: only rejected datagrams from the array for %1 s</source>
            <translation>記録を停止しました：アレイから %1 秒間、拒否されたデータグラムのみ受信</translation>
        </message>
        <message>
            <source>Data from the array again after %1 s</source>
            <translation>%1 秒後にアレイからのデータが戻りました</translation>
        </message>
        <message>
            <source>Datagrams rejected: their length does not match the Device Profile (%1 bytes expected, %2 rejected so far)</source>
            <translation>データグラムを拒否しました：長さがデバイスプロファイルと一致しません（期待値 %1 バイト、これまでに %2 個拒否）</translation>
        </message>
        <message>
            <source>Measurement %1 names no raw file</source>
            <translation>測定 %1 に RAW ファイルが指定されていません</translation>
        </message>
        <message>
            <source>Raw file %1 of Measurement %2 is missing</source>
            <translation>測定 %2 の RAW ファイル %1 がありません</translation>
        </message>
        <message>
            <source>Raw file %1 of Measurement %2 is not a regular file</source>
            <translation>測定 %2 の RAW ファイル %1 は通常のファイルではありません</translation>
        </message>
        <message>
            <source>Live stopped</source>
            <translation>ライブ停止中</translation>
        </message>
        <message>
            <source>Not calibrated</source>
            <translation>未校正</translation>
        </message>
        <message>
            <source>Waiting for raw samples</source>
            <translation>生サンプルを待機しています</translation>
        </message>
        <message>
            <source>Load a validated Device Profile to begin</source>
            <translation>開始するには検証済みのデバイスプロファイルを読み込んでください</translation>
        </message>
        <message>
            <source>Device Profile validated; system ready to start</source>
            <translation>デバイスプロファイルを検証しました。システムは開始できます</translation>
        </message>
        <message>
            <source>Profile validation failed: %1</source>
            <translation>プロファイルの検証に失敗しました: %1</translation>
        </message>
        <message>
            <source>Select a directory for the new Project</source>
            <translation>新しいプロジェクトのディレクトリを選択してください</translation>
        </message>
        <message>
            <source>The selected directory already contains a Project</source>
            <translation>選択したディレクトリには既にプロジェクトがあります</translation>
        </message>
        <message>
            <source>The selected path is not a directory</source>
            <translation>選択したパスはディレクトリではありません</translation>
        </message>
        <message>
            <source>The selected directory is not empty - choose an empty directory for a new Project</source>
            <translation>選択したディレクトリは空ではありません - 新しいプロジェクトには空のディレクトリを選択してください</translation>
        </message>
        <message>
            <source>Project no longer exists at %1 - removed from Recent</source>
            <translation>プロジェクトは %1 に存在しなくなりました - 最近使ったプロジェクトから削除しました</translation>
        </message>
        <message>
            <source>project.json could not be read (%1): kept as %2, the Measurement list was rebuilt from %3 Measurement folder(s)</source>
            <translation>project.json を読み取れません (%1): %2 として保管し、%3 個の測定フォルダーから測定リストを再構築しました</translation>
        </message>
        <message>
            <source>Open Project failed: %1</source>
            <translation>プロジェクトを開けませんでした: %1</translation>
        </message>
        <message>
            <source>Diagnostics export failed: cannot create folder</source>
            <translation>診断のエクスポートに失敗しました：フォルダーを作成できません</translation>
        </message>
        <message>
            <source>Diagnostics export failed: %1</source>
            <translation>診断のエクスポートに失敗しました：%1</translation>
        </message>
        <message>
            <source>Diagnostics bundle exported: %1</source>
            <translation>診断バンドルをエクスポートしました：%1</translation>
        </message>
        <message>
            <source>Backup failed: cannot create folder</source>
            <translation>バックアップに失敗しました：フォルダーを作成できません</translation>
        </message>
        <message>
            <source>Backup failed: %1</source>
            <translation>バックアップに失敗しました：%1</translation>
        </message>
        <message>
            <source>Settings backup written: %1</source>
            <translation>設定のバックアップを書き込みました：%1</translation>
        </message>
        <message>
            <source>Open diagnostics folder failed: %1</source>
            <translation>診断フォルダーを開けませんでした：%1</translation>
        </message>
        <message>
            <source>Unsaved analysis result discarded</source>
            <translation>未保存の解析結果を破棄しました</translation>
        </message>
        <message>
            <source>Calibrated %1</source>
            <translation>校正済み %1</translation>
        </message>
        <message>
            <source>Calibrated for another device profile - recalibrate</source>
            <translation>別のデバイスプロファイル用に校正されています - 再校正してください</translation>
        </message>
        <message>
            <source>Project opened: %1 · %2 Measurement(s)</source>
            <translation>プロジェクトを開きました: %1 · 測定 %2 件</translation>
        </message>
        <message>
            <source>Delete failed: files are locked under %1 - the Project was kept open</source>
            <translation>削除に失敗しました: %1 の下のファイルがロックされています - プロジェクトは開いたままです</translation>
        </message>
        <message>
            <source>Open or create a Project first</source>
            <translation>先にプロジェクトを開くか作成してください</translation>
        </message>
        <message>
            <source>Auto white balance turned off so the manual colour setting stays applied</source>
            <translation>手動の色設定が維持されるよう自動ホワイトバランスをオフにしました</translation>
        </message>
        <message>
            <source>Save AnalysisRun failed: %1</source>
            <translation>解析ランの保存に失敗しました：%1</translation>
        </message>
        <message>
            <source>AnalysisRun saved: %1</source>
            <translation>解析ランを保存しました：%1</translation>
        </message>
        <message>
            <source>Analysis window is shorter than one analysis frame</source>
            <translation>解析ウィンドウが解析フレーム 1 つより短いです</translation>
        </message>
        <message>
            <source>Analysis computed - not saved yet: %1</source>
            <translation>解析完了 - 未保存：%1</translation>
        </message>
        <message>
            <source>Process memory</source>
            <translation>プロセスメモリ</translation>
        </message>
        <message>
            <source>UDP datagrams</source>
            <translation>UDP データグラム</translation>
        </message>
        <message>
            <source>UDP received</source>
            <translation>UDP 受信量</translation>
        </message>
        <message>
            <source>Datagrams rejected / rx errors</source>
            <translation>拒否データグラム / 受信エラー</translation>
        </message>
        <message>
            <source>Datagrams dropped on overflow</source>
            <translation>オーバーフローで破棄したデータグラム</translation>
        </message>
        <message>
            <source>Ingress pending frames</source>
            <translation>受信待ちフレーム</translation>
        </message>
        <message>
            <source>DSP queue occupancy / drop</source>
            <translation>DSP キュー使用 / 破棄</translation>
        </message>
        <message>
            <source>Diagnostic queue drop</source>
            <translation>診断キュー破棄</translation>
        </message>
        <message>
            <source>Processed frames</source>
            <translation>処理済みフレーム</translation>
        </message>
        <message>
            <source>Maps published</source>
            <translation>公開済みマップ</translation>
        </message>
        <message>
            <source>BF avg/p50/p95/p99/max</source>
            <translation>BF 平均/p50/p95/p99/最大</translation>
        </message>
        <message>
            <source>Map overwrite / DSP errors</source>
            <translation>マップ上書き / DSP エラー</translation>
        </message>
        <message>
            <source>Recording rate</source>
            <translation>記録レート</translation>
        </message>
        <message>
            <source>Replay</source>
            <translation>リプレイ</translation>
        </message>
        <message>
            <source>Array profile</source>
            <translation>アレイプロファイル</translation>
        </message>
        <message>
            <source>Measurements / Analysis runs</source>
            <translation>測定 / 解析実行</translation>
        </message>
        <message>
            <source>Exported map.csv + export.json to %1</source>
            <translation>map.csv + export.json を %1 にエクスポートしました</translation>
        </message>
        <message>
            <source>Export failed: %1</source>
            <translation>エクスポートに失敗しました: %1</translation>
        </message>
        <message>
            <source>Base loading</source>
            <translation>基本ローディング</translation>
        </message>
        <message>
            <source>Diagonal loading</source>
            <translation>対角ローディング</translation>
        </message>
        <message>
            <source>Diagonal removal</source>
            <translation>対角除去</translation>
        </message>
        <message>
            <source>Eigen floor</source>
            <translation>固有値下限</translation>
        </message>
        <message>
            <source>Eigen tolerance</source>
            <translation>固有値許容誤差</translation>
        </message>
        <message>
            <source>Eigenvalue floor</source>
            <translation>固有値下限</translation>
        </message>
        <message>
            <source>Estimator (1 MDL, 2 AIC, 3 gap)</source>
            <translation>推定法（1 MDL、2 AIC、3 ギャップ）</translation>
        </message>
        <message>
            <source>Functional order</source>
            <translation>汎関数次数</translation>
        </message>
        <message>
            <source>Grid stride</source>
            <translation>グリッド間引き</translation>
        </message>
        <message>
            <source>Iterations</source>
            <translation>反復回数</translation>
        </message>
        <message>
            <source>Lambda (rel)</source>
            <translation>ラムダ（相対）</translation>
        </message>
        <message>
            <source>Loop gain</source>
            <translation>ループゲイン</translation>
        </message>
        <message>
            <source>Max iterations</source>
            <translation>最大反復回数</translation>
        </message>
        <message>
            <source>Max modes</source>
            <translation>最大モード数</translation>
        </message>
        <message>
            <source>Max sources</source>
            <translation>最大音源数</translation>
        </message>
        <message>
            <source>Noise (rel)</source>
            <translation>ノイズ（相対）</translation>
        </message>
        <message>
            <source>PHAT exponent</source>
            <translation>PHAT 指数</translation>
        </message>
        <message>
            <source>PHAT floor</source>
            <translation>PHAT 下限</translation>
        </message>
        <message>
            <source>PHAT zero diagonal</source>
            <translation>PHAT 対角ゼロ化</translation>
        </message>
        <message>
            <source>Prune (rel)</source>
            <translation>枝刈り（相対）</translation>
        </message>
        <message>
            <source>Relative eigen</source>
            <translation>相対固有値</translation>
        </message>
        <message>
            <source>Relaxation</source>
            <translation>緩和係数</translation>
        </message>
        <message>
            <source>Source count</source>
            <translation>音源数</translation>
        </message>
        <message>
            <source>Spectrum floor</source>
            <translation>スペクトル下限</translation>
        </message>
        <message>
            <source>Stop level</source>
            <translation>停止レベル</translation>
        </message>
        <message>
            <source>Tolerance</source>
            <translation>許容誤差</translation>
        </message>
        <message>
            <source>Uncertainty</source>
            <translation>不確かさ</translation>
        </message>
        <message>
            <source>Uncertainty gain</source>
            <translation>不確かさゲイン</translation>
        </message>
    </context>
    <context>
        <name>UvcParameter</name>
        <message>
            <source>Brightness</source>
            <translation>明るさ</translation>
        </message>
        <message>
            <source>Contrast</source>
            <translation>コントラスト</translation>
        </message>
        <message>
            <source>Hue</source>
            <translation>色相</translation>
        </message>
        <message>
            <source>Saturation</source>
            <translation>彩度</translation>
        </message>
        <message>
            <source>Sharpness</source>
            <translation>シャープネス</translation>
        </message>
        <message>
            <source>Gamma</source>
            <translation>ガンマ</translation>
        </message>
        <message>
            <source>Color enable</source>
            <translation>カラー有効</translation>
        </message>
        <message>
            <source>White balance</source>
            <translation>ホワイトバランス</translation>
        </message>
        <message>
            <source>Backlight compensation</source>
            <translation>逆光補正</translation>
        </message>
        <message>
            <source>Gain</source>
            <translation>ゲイン</translation>
        </message>
        <message>
            <source>Exposure</source>
            <translation>露出</translation>
        </message>
        <message>
            <source>Focus</source>
            <translation>フォーカス</translation>
        </message>
        <message>
            <source>Iris</source>
            <translation>絞り</translation>
        </message>
        <message>
            <source>Zoom</source>
            <translation>ズーム</translation>
        </message>
        <message>
            <source>Pan</source>
            <translation>パン</translation>
        </message>
        <message>
            <source>Tilt</source>
            <translation>チルト</translation>
        </message>
        <message>
            <source>Roll</source>
            <translation>ロール</translation>
        </message>
        <message>
            <source>Powerline frequency</source>
            <translation>電源周波数</translation>
        </message>
    </context>
    <context>
        <name>AcousticCanvas</name>
        <message>
            <source>No data from the array - this map is not live</source>
            <translation>アレイからのデータがありません - このマップはライブではありません</translation>
        </message>
        <message>
            <source>Acoustic map</source>
            <translation>音響マップ</translation>
        </message>
        <message>
            <source>Camera overlay is not configured in this slice</source>
            <translation>このバージョンではカメラオーバーレイは未設定です</translation>
        </message>
        <message>
            <source>Press Start to publish the first map</source>
            <translation>「開始」を押すと最初のマップを表示します</translation>
        </message>
        <message>
            <source>Import a Device Profile</source>
            <translation>デバイスプロファイルをインポート</translation>
        </message>
        <message>
            <source>The acoustic map updates in real time</source>
            <translation>音響マップはリアルタイムで更新されます</translation>
        </message>
        <message>
            <source>Peak %1° / %2° · span %3 dB · %4 dBFS</source>
            <translation>ピーク %1° / %2° · 幅 %3 dB · %4 dBFS</translation>
        </message>
        <message>
            <source>Map below level gate: peak %1 dBFS &lt; gate %2 dBFS - lower Level gate or make sound</source>
            <translation>マップがレベルゲート未満です：ピーク %1 dBFS &lt; ゲート %2 dBFS - レベルゲートを下げるか音を出してください</translation>
        </message>
        <message>
            <source>Azimuth</source>
            <translation>方位角</translation>
        </message>
        <message>
            <source>Elevation</source>
            <translation>仰角</translation>
        </message>
    </context>
    <context>
        <name>AcquisitionPage</name>
        <message>
            <source>Sound pressure map</source>
            <translation>音圧マップ</translation>
        </message>
        <message>
            <source>UVC video overlay active — Record captures a video track</source>
            <translation>UVC 映像オーバーレイ有効 — 録画に映像トラックを含みます</translation>
        </message>
        <message>
            <source>No camera — Record will be audio only</source>
            <translation>カメラなし — 録画は音声のみです</translation>
        </message>
        <message>
            <source>REC %1 · %2 / %3 s · %4 MB · %5</source>
            <translation>録画 %1 · %2 / %3 秒 · %4 MB · %5</translation>
        </message>
        <message>
            <source>CAM</source>
            <translation>カメラ</translation>
        </message>
        <message>
            <source>no video</source>
            <translation>映像なし</translation>
        </message>
    </context>
    <context>
        <name>Main</name>
        <message>
            <source>Device</source>
            <translation>デバイス</translation>
        </message>
        <message>
            <source>Project</source>
            <translation>プロジェクト</translation>
        </message>
        <message>
            <source>Camera</source>
            <translation>カメラ</translation>
        </message>
        <message>
            <source>Live</source>
            <translation>ライブ</translation>
        </message>
        <message>
            <source>Replay</source>
            <translation>再生</translation>
        </message>
        <message>
            <source>Analysis</source>
            <translation>解析</translation>
        </message>
        <message>
            <source>Diagnostics</source>
            <translation>診断</translation>
        </message>
        <message>
            <source>Settings</source>
            <translation>設定</translation>
        </message>
        <message>
            <source>Sorvanta Studio v%1</source>
            <translation>Sorvanta Studio v%1</translation>
        </message>
        <message>
            <source>No profile</source>
            <translation>プロファイルなし</translation>
        </message>
        <message>
            <source>Ready</source>
            <translation>準備完了</translation>
        </message>
        <message>
            <source>Starting</source>
            <translation>開始中</translation>
        </message>
        <message>
            <source>Running</source>
            <translation>実行中</translation>
        </message>
        <message>
            <source>Stopping</source>
            <translation>停止中</translation>
        </message>
        <message>
            <source>Faulted</source>
            <translation>障害</translation>
        </message>
        <message>
            <source>Loading</source>
            <translation>読み込み中</translation>
        </message>
        <message>
            <source>Playing</source>
            <translation>再生中</translation>
        </message>
        <message>
            <source>Paused</source>
            <translation>一時停止</translation>
        </message>
        <message>
            <source>Finished</source>
            <translation>終了</translation>
        </message>
        <message>
            <source>Idle</source>
            <translation>待機</translation>
        </message>
        <message>
            <source>Sorvanta Studio</source>
            <translation>Sorvanta Studio</translation>
        </message>
        <message>
            <source>PROJECT</source>
            <translation>プロジェクト</translation>
        </message>
        <message>
            <source>No project open</source>
            <translation>プロジェクト未選択</translation>
        </message>
        <message>
            <source>No Device Profile</source>
            <translation>デバイスプロファイルなし</translation>
        </message>
        <message>
            <source>Analysis · %1%</source>
            <translation>解析 · %1%</translation>
        </message>
        <message>
            <source>Replay · %1</source>
            <translation>再生 · %1</translation>
        </message>
        <message>
            <source>● REC</source>
            <translation>● 録画</translation>
        </message>
        <message>
            <source>Saving...</source>
            <translation>保存中...</translation>
        </message>
        <message>
            <source>Language</source>
            <translation>言語</translation>
        </message>
        <message>
            <source>Theme</source>
            <translation>テーマ</translation>
        </message>
        <message>
            <source>WORKSPACE</source>
            <translation>ワークスペース</translation>
        </message>
        <message>
            <source>Working…</source>
            <translation>処理中…</translation>
        </message>
        <message>
            <source>Start</source>
            <translation>開始</translation>
        </message>
        <message>
            <source>Stop</source>
            <translation>停止</translation>
        </message>
        <message>
            <source>Stop &amp; save</source>
            <translation>停止して保存</translation>
        </message>
        <message>
            <source>Saving…</source>
            <translation>保存中…</translation>
        </message>
        <message>
            <source>Record</source>
            <translation>録画</translation>
        </message>
        <message>
            <source>DEVICE CONTRACT</source>
            <translation>デバイス契約</translation>
        </message>
        <message>
            <source>No validated profile</source>
            <translation>検証済みプロファイルなし</translation>
        </message>
        <message>
            <source>Background calibration</source>
            <translation>背景キャリブレーション</translation>
        </message>
        <message>
            <source>Calibration in progress - please keep the on-site environment stable</source>
            <translation>キャリブレーション中 - 現場の環境を安定に保ってください</translation>
        </message>
        <message>
            <source>%1 s remaining</source>
            <translation>残り %1 秒</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>キャンセル</translation>
        </message>
    </context>
    <context>
        <name>AlgorithmMapPanel</name>
        <message>
            <source>Acoustic map</source>
            <translation>音響マップ</translation>
        </message>
        <message>
            <source>Range %1 dB</source>
            <translation>レンジ %1 dB</translation>
        </message>
        <message>
            <source>Level gate %1 dBFS</source>
            <translation>レベルゲート %1 dBFS</translation>
        </message>
        <message>
            <source>Alpha %1%</source>
            <translation>不透明度 %1%</translation>
        </message>
        <message>
            <source>Colormap</source>
            <translation>カラーマップ</translation>
        </message>
        <message>
            <source>Style</source>
            <translation>スタイル</translation>
        </message>
        <message>
            <source>Contour</source>
            <translation>等高線</translation>
        </message>
        <message>
            <source>Contour + fill</source>
            <translation>等高線 + 塗りつぶし</translation>
        </message>
        <message>
            <source>Peak cross</source>
            <translation>ピーク十字</translation>
        </message>
        <message>
            <source>Fill</source>
            <translation>塗りつぶし</translation>
        </message>
        <message>
            <source>Scale</source>
            <translation>スケール</translation>
        </message>
        <message>
            <source>Fixed dBFS</source>
            <translation>固定 dBFS</translation>
        </message>
        <message>
            <source>Auto peak</source>
            <translation>自動ピーク</translation>
        </message>
        <message>
            <source>Diagonal removal</source>
            <translation>対角除去</translation>
        </message>
        <message>
            <source>Background noise</source>
            <translation>背景ノイズ</translation>
        </message>
        <message>
            <source>Calibrate (5 s)</source>
            <translation>校正（5 秒）</translation>
        </message>
        <message>
            <source>Integration time</source>
            <translation>積分時間</translation>
        </message>
        <message>
            <source>Air temp %1 °C · %2 m/s</source>
            <translation>気温 %1 °C · %2 m/s</translation>
        </message>
        <message>
            <source>Confidence %1 dB</source>
            <translation>信頼度 %1 dB</translation>
        </message>
        <message>
            <source>%1–%2 Hz · %3 bins (auto)</source>
            <translation>%1–%2 Hz · %3 ビン（自動）</translation>
        </message>
        <message>
            <source>Frequency band is selected automatically</source>
            <translation>周波数帯域は自動で選択されます</translation>
        </message>
        <message>
            <source>▾ Algorithm parameters</source>
            <translation>▾ アルゴリズムパラメータ</translation>
        </message>
        <message>
            <source>▸ Algorithm parameters</source>
            <translation>▸ アルゴリズムパラメータ</translation>
        </message>
        <message>
            <source>applied r%1</source>
            <translation>適用済み r%1</translation>
        </message>
        <message>
            <source>Noise subtraction waits for the calibration to end</source>
            <translation>ノイズ除去はキャリブレーションの終了を待っています</translation>
        </message>
        <message>
            <source>Subtract the calibrated background noise from the map</source>
            <translation>校正済みの背景ノイズをマップから差し引きます</translation>
        </message>
        <message>
            <source>Noise subtraction needs a calibration of this device profile first</source>
            <translation>ノイズ除去には、まずこのデバイスプロファイルのキャリブレーションが必要です</translation>
        </message>
    </context>
    <context>
        <name>ReplayPage</name>
        <message>
            <source>No Measurement selected</source>
            <translation>測定が選択されていません</translation>
        </message>
        <message>
            <source>Frozen: %1</source>
            <translation>固定：%1</translation>
        </message>
        <message>
            <source>Frozen Profile loads on Start</source>
            <translation>固定プロファイルは開始時に読み込まれます</translation>
        </message>
        <message>
            <source>video track</source>
            <translation>ビデオトラック</translation>
        </message>
        <message>
            <source>audio only</source>
            <translation>音声のみ</translation>
        </message>
        <message>
            <source>Start Measurement Replay</source>
            <translation>測定の再生を開始</translation>
        </message>
        <message>
            <source>band edits recompute at the current replay position</source>
            <translation>帯域の変更は現在の再生位置で再計算されます</translation>
        </message>
        <message>
            <source>Replay sound pressure map</source>
            <translation>再生音圧マップ</translation>
        </message>
        <message>
            <source>Start Replay to recompute from immutable raw</source>
            <translation>再生を開始して変更不可の生データから再計算</translation>
        </message>
        <message>
            <source>%1 · %2 · click map to play/pause</source>
            <translation>%1 · %2 · マップをクリックで再生/一時停止</translation>
        </message>
        <message>
            <source>Replay recomputes the acoustic map from the recorded raw data</source>
            <translation>再生は記録された生データから音響マップを再計算します</translation>
        </message>
        <message>
            <source>%1 / %2 s</source>
            <translation>%1 / %2 秒</translation>
        </message>
        <message>
            <source>Replay again</source>
            <translation>もう一度再生</translation>
        </message>
        <message>
            <source>Start Replay</source>
            <translation>再生開始</translation>
        </message>
        <message>
            <source>Resume</source>
            <translation>再開</translation>
        </message>
        <message>
            <source>Pause</source>
            <translation>一時停止</translation>
        </message>
        <message>
            <source>Stop</source>
            <translation>停止</translation>
        </message>
        <message>
            <source>Open project folder</source>
            <translation>プロジェクトフォルダを開く</translation>
        </message>
        <message>
            <source>Analyze at position</source>
            <translation>この位置で解析</translation>
        </message>
        <message>
            <source>Select a Measurement, then Start Replay — recording integrity is verified before playback</source>
            <translation>測定を選択して再生を開始 — 再生前に記録の完全性を検証します</translation>
        </message>
        <message>
            <source>1.0x · frozen Profile</source>
            <translation>1.0x · 固定プロファイル</translation>
        </message>
        <message>
            <source>Stop Live before starting Measurement Replay</source>
            <translation>測定リプレイを開始する前にライブを停止してください</translation>
        </message>
        <message>
            <source>Select a Measurement, then Start Replay</source>
            <translation>測定を選択してからリプレイを開始してください</translation>
        </message>
        <message>
            <source>A Replay is running: stop it first</source>
            <translation>リプレイ実行中です。先に停止してください</translation>
        </message>
        <message>
            <source>The raw recording of this Measurement is missing</source>
            <translation>この測定の生データ記録がありません</translation>
        </message>
        <message>
            <source>Wait until the Recording is saved</source>
            <translation>録音の保存が終わるまでお待ちください</translation>
        </message>
        <message>
            <source>Wait until the Full Recompute ends</source>
            <translation>完全再計算が終わるまでお待ちください</translation>
        </message>
        <message>
            <source>Analyze at position needs an active Replay: start one first</source>
            <translation>「この位置で解析」には実行中のリプレイが必要です。先にリプレイを開始してください</translation>
        </message>
        <message>
            <source>Start Replay — recording integrity is verified before playback</source>
            <translation>リプレイを開始 — 再生前に記録の完全性を検証します</translation>
        </message>
    </context>
    <context>
        <name>SignalDiagnostics</name>
        <message>
            <source>No data from the array - these views are not live</source>
            <translation>アレイからのデータがありません - これらの表示はライブではありません</translation>
        </message>
        <message>
            <source>waiting for data</source>
            <translation>データ待機中</translation>
        </message>
        <message>
            <source>16ch overlay · %1 ms · wheel zooms the time axis</source>
            <translation>16ch オーバーレイ · %1 ms · ホイールで時間軸をズーム</translation>
        </message>
        <message>
            <source>16 lanes · ch %1-%2 · wheel zooms the time axis</source>
            <translation>16 レーン · ch %1-%2 · ホイールで時間軸をズーム</translation>
        </message>
        <message>
            <source>ch %1 · window %2 s · wheel zooms the time axis</source>
            <translation>ch %1 · 窓 %2 s · ホイールで時間軸をズーム</translation>
        </message>
        <message>
            <source>Signal monitor</source>
            <translation>信号モニター</translation>
        </message>
        <message>
            <source>Live snapshots · same samples as Recorder and DSP</source>
            <translation>ライブスナップショット · レコーダーと DSP と同じサンプル</translation>
        </message>
        <message>
            <source>Channel</source>
            <translation>チャンネル</translation>
        </message>
        <message>
            <source>Gain (0-10)</source>
            <translation>ゲイン（0-10）</translation>
        </message>
        <message>
            <source>no serial link</source>
            <translation>シリアル接続なし</translation>
        </message>
        <message>
            <source>Time waveform</source>
            <translation>時間波形</translation>
        </message>
        <message>
            <source>Single</source>
            <translation>シングル</translation>
        </message>
        <message>
            <source>16 lanes</source>
            <translation>16 レーン</translation>
        </message>
        <message>
            <source>16 overlay</source>
            <translation>16 オーバーレイ</translation>
        </message>
        <message>
            <source>Spectrum (dBFS)</source>
            <translation>スペクトル（dBFS）</translation>
        </message>
        <message>
            <source>bin %1 Hz · Hann · click to choose imaging center frequency</source>
            <translation>ビン %1 Hz · Hann · クリックで画像化中心周波数を選択</translation>
        </message>
        <message>
            <source>Auxiliary view</source>
            <translation>補助ビュー</translation>
        </message>
        <message>
            <source>Channel RMS</source>
            <translation>チャンネル RMS</translation>
        </message>
        <message>
            <source>Waterfall</source>
            <translation>ウォーターフォール</translation>
        </message>
    </context>
    <context>
        <name>CameraPage</name>
        <message>
            <source>Mono</source>
            <translation>モノクロ</translation>
        </message>
        <message>
            <source>Invert</source>
            <translation>反転</translation>
        </message>
        <message>
            <source>False color · Turbo</source>
            <translation>疑似カラー · Turbo</translation>
        </message>
        <message>
            <source>False color · Viridis</source>
            <translation>疑似カラー · Viridis</translation>
        </message>
        <message>
            <source>False color · Magma</source>
            <translation>疑似カラー · Magma</translation>
        </message>
        <message>
            <source>False color · JET</source>
            <translation>疑似カラー · JET</translation>
        </message>
        <message>
            <source>Edge detect</source>
            <translation>エッジ検出</translation>
        </message>
        <message>
            <source>Focus peaking</source>
            <translation>フォーカスピーキング</translation>
        </message>
        <message>
            <source>Zebra</source>
            <translation>ゼブラ</translation>
        </message>
        <message>
            <source>Dots</source>
            <translation>ドット</translation>
        </message>
        <message>
            <source>Sharpen</source>
            <translation>シャープ</translation>
        </message>
        <message>
            <source>Original</source>
            <translation>オリジナル</translation>
        </message>
        <message>
            <source>50 Hz</source>
            <translation>50 Hz</translation>
        </message>
        <message>
            <source>60 Hz</source>
            <translation>60 Hz</translation>
        </message>
        <message>
            <source>Off</source>
            <translation>オフ</translation>
        </message>
        <message>
            <source>calibrated FOV</source>
            <translation>校正済み FOV</translation>
        </message>
        <message>
            <source>Auto</source>
            <translation>自動</translation>
        </message>
        <message>
            <source>Camera</source>
            <translation>カメラ</translation>
        </message>
        <message>
            <source>· Running</source>
            <translation>· 動作中</translation>
        </message>
        <message>
            <source>· Stopped</source>
            <translation>· 停止中</translation>
        </message>
        <message>
            <source>Open Camera</source>
            <translation>カメラを開く</translation>
        </message>
        <message>
            <source>Stop Camera</source>
            <translation>カメラを停止</translation>
        </message>
        <message>
            <source>Refresh</source>
            <translation>更新</translation>
        </message>
        <message>
            <source>UVC device</source>
            <translation>UVC デバイス</translation>
        </message>
        <message>
            <source>No Camera detected</source>
            <translation>カメラが検出されません</translation>
        </message>
        <message>
            <source>State</source>
            <translation>状態</translation>
        </message>
        <message>
            <source>Active</source>
            <translation>アクティブ</translation>
        </message>
        <message>
            <source>Idle</source>
            <translation>待機</translation>
        </message>
        <message>
            <source>Mirror</source>
            <translation>ミラー</translation>
        </message>
        <message>
            <source>Horizontal</source>
            <translation>水平</translation>
        </message>
        <message>
            <source>Normal</source>
            <translation>通常</translation>
        </message>
        <message>
            <source>Role</source>
            <translation>役割</translation>
        </message>
        <message>
            <source>Camera settings only · overlay is shown in Live</source>
            <translation>カメラ設定のみ · オーバーレイはライブに表示</translation>
        </message>
        <message>
            <source>Select a UVC camera and press Open Camera</source>
            <translation>UVC カメラを選択して「カメラを開く」を押してください</translation>
        </message>
        <message>
            <source>Camera settings only · acoustic overlay is shown in Live</source>
            <translation>カメラ設定のみ · 音響オーバーレイはライブに表示</translation>
        </message>
        <message>
            <source>Camera settings</source>
            <translation>カメラ設定</translation>
        </message>
        <message>
            <source>Live workspace displays acoustic overlay</source>
            <translation>ライブワークスペースに音響オーバーレイを表示</translation>
        </message>
        <message>
            <source>UVC stream active</source>
            <translation>UVC ストリーム動作中</translation>
        </message>
        <message>
            <source>UVC stream stopped</source>
            <translation>UVC ストリーム停止</translation>
        </message>
        <message>
            <source>Resolution</source>
            <translation>解像度</translation>
        </message>
        <message>
            <source>Frame rate</source>
            <translation>フレームレート</translation>
        </message>
        <message>
            <source>Cropped sensor readout: the camera narrows its FOV at this resolution (calibrated at %1); Live overlay alignment is approximate</source>
            <translation>センサーのクロップ読み出し: この解像度ではカメラの FOV が狭くなります（%1 で校正）。ライブオーバーレイの位置合わせは概算です</translation>
        </message>
        <message>
            <source>Processing</source>
            <translation>画像処理</translation>
        </message>
        <message>
            <source>Strength</source>
            <translation>強度</translation>
        </message>
        <message>
            <source>UVC parameters</source>
            <translation>UVC パラメーター</translation>
        </message>
        <message>
            <source>Reset all</source>
            <translation>すべてリセット</translation>
        </message>
        <message>
            <source>Open the camera to enumerate its UVC controls; settings persist per device and apply to the Live overlay as well</source>
            <translation>カメラを開くと UVC コントロールが列挙されます。設定はデバイスごとに保存され、ライブオーバーレイにも適用されます</translation>
        </message>
        <message>
            <source>auto</source>
            <translation>自動</translation>
        </message>
    </context>
    <context>
        <name>DevicePage</name>
        <message>
            <source>%1 ch · %2 m × %3 m</source>
            <translation>%1 ch · %2 m × %3 m</translation>
        </message>
        <message>
            <source>DEVICE PROFILE</source>
            <translation>デバイスプロファイル</translation>
        </message>
        <message>
            <source>Browse…</source>
            <translation>参照…</translation>
        </message>
        <message>
            <source>Import</source>
            <translation>インポート</translation>
        </message>
        <message>
            <source>No validated profile loaded</source>
            <translation>検証済みプロファイルが読み込まれていません</translation>
        </message>
        <message>
            <source>Source</source>
            <translation>ソース</translation>
        </message>
        <message>
            <source>Azimuth</source>
            <translation>方位角</translation>
        </message>
        <message>
            <source>Elevation</source>
            <translation>仰角</translation>
        </message>
        <message>
            <source>CONTROL LINK (SERIAL)</source>
            <translation>制御リンク（シリアル）</translation>
        </message>
        <message>
            <source>Refresh</source>
            <translation>更新</translation>
        </message>
        <message>
            <source>Probe &amp; Select</source>
            <translation>検出して選択</translation>
        </message>
        <message>
            <source>Gain (0-10)</source>
            <translation>ゲイン（0-10）</translation>
        </message>
        <message>
            <source>Hardware ID: %1</source>
            <translation>ハードウェア ID: %1</translation>
        </message>
        <message>
            <source>not read</source>
            <translation>未読み取り</translation>
        </message>
        <message>
            <source>Read ID</source>
            <translation>ID を読み取る</translation>
        </message>
        <message>
            <source>UDP output (V1.4.1+ devices)</source>
            <translation>UDP 出力（V1.4.1 以降のデバイス）</translation>
        </message>
        <message>
            <source>Enable</source>
            <translation>有効化</translation>
        </message>
        <message>
            <source>Disable</source>
            <translation>無効化</translation>
        </message>
        <message>
            <source>FLASH SECTORS</source>
            <translation>フラッシュセクター</translation>
        </message>
        <message>
            <source>Network parameters (sector 256)</source>
            <translation>ネットワークパラメーター（セクター 256）</translation>
        </message>
        <message>
            <source>Read</source>
            <translation>読み取り</translation>
        </message>
        <message>
            <source>Write...</source>
            <translation>書き込み...</translation>
        </message>
        <message>
            <source>One-click network setup</source>
            <translation>ワンクリックネットワーク設定</translation>
        </message>
        <message>
            <source>Select the network adapter the array is plugged into; the app picks a conflict-free address, writes it and reboots the array.</source>
            <translation>アレイが接続されているネットワークアダプターを選択してください。アプリが競合しないアドレスを選び、書き込んでアレイを再起動します。</translation>
        </message>
        <message>
            <source>Auto Configure...</source>
            <translation>自動設定...</translation>
        </message>
        <message>
            <source>FIR coefficients (sector 768)</source>
            <translation>FIR 係数（セクター 768）</translation>
        </message>
        <message>
            <source>Write Preset...</source>
            <translation>プリセットを書き込む...</translation>
        </message>
        <message>
            <source>ARRAY LAYOUT (TOP VIEW)</source>
            <translation>アレイ配置（上面図）</translation>
        </message>
        <message>
            <source>Import a Device Profile to preview the array layout</source>
            <translation>アレイ配置をプレビューするにはデバイスプロファイルをインポートしてください</translation>
        </message>
        <message>
            <source>LOG</source>
            <translation>ログ</translation>
        </message>
        <message>
            <source>Clear</source>
            <translation>クリア</translation>
        </message>
        <message>
            <source>Import Device Profile</source>
            <translation>デバイスプロファイルのインポート</translation>
        </message>
        <message>
            <source>Auto network setup</source>
            <translation>自動ネットワーク設定</translation>
        </message>
        <message>
            <source>The app reads the array's current parameters, assigns a conflict-free address on the selected adapter's network, writes it and reboots the array (.reset).

Adapter: %1

Continue?</source>
            <translation>アプリはアレイの現在のパラメーターを読み取り、選択したアダプターのネットワークで競合しないアドレスを割り当て、書き込んでアレイを再起動します（.reset）。

アダプター: %1

続行しますか？</translation>
        </message>
        <message>
            <source>Write network parameters (sector 256)</source>
            <translation>ネットワークパラメーターの書き込み（セクター 256）</translation>
        </message>
        <message>
            <source>Wrong parameters can make the device unreachable; they are verified by read-back before reporting success. They take effect after the device reboots - you will be offered to reboot the device when the write completes.</source>
            <translation>誤ったパラメーターはデバイスに到達できなくなる原因になります。成功を報告する前に読み戻しで検証されます。パラメーターはデバイスの再起動後に有効になります。書き込みが完了すると再起動を提案します。</translation>
        </message>
        <message>
            <source>Board MAC</source>
            <translation>ボード MAC</translation>
        </message>
        <message>
            <source>Board IP</source>
            <translation>ボード IP</translation>
        </message>
        <message>
            <source>Target MAC</source>
            <translation>ターゲット MAC</translation>
        </message>
        <message>
            <source>Target IP</source>
            <translation>ターゲット IP</translation>
        </message>
        <message>
            <source>Source port</source>
            <translation>送信元ポート</translation>
        </message>
        <message>
            <source>Target port</source>
            <translation>宛先ポート</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>キャンセル</translation>
        </message>
        <message>
            <source>Write</source>
            <translation>書き込み</translation>
        </message>
        <message>
            <source>Reboot device?</source>
            <translation>デバイスを再起動しますか？</translation>
        </message>
        <message>
            <source>Network parameters were written and verified. They take effect only after the device reboots. Reboot the device now? The UDP stream will drop until the device is back.</source>
            <translation>ネットワークパラメーターを書き込み、検証しました。デバイスの再起動後にのみ有効になります。今すぐ再起動しますか？デバイスが復帰するまで UDP ストリームは途切れます。</translation>
        </message>
        <message>
            <source>Later</source>
            <translation>後で</translation>
        </message>
        <message>
            <source>Reboot now</source>
            <translation>今すぐ再起動</translation>
        </message>
        <message>
            <source>Write FIR preset</source>
            <translation>FIR プリセットの書き込み</translation>
        </message>
        <message>
            <source>Write preset "%1" from the active device profile to sector 768? The sector is erased, written and read back for verification.</source>
            <translation>アクティブなデバイスプロファイルのプリセット「%1」をセクター 768 に書き込みますか？セクターは消去、書き込みされ、検証のために読み戻されます。</translation>
        </message>
    </context>
    <context>
        <name>DiagnosticsPage</name>
        <message>
            <source>Diagnostics</source>
            <translation>診断</translation>
        </message>
        <message>
            <source>Export diagnostics bundle</source>
            <translation>診断バンドルを書き出す</translation>
        </message>
        <message>
            <source>Open folder</source>
            <translation>フォルダーを開く</translation>
        </message>
        <message>
            <source>Event log</source>
            <translation>イベントログ</translation>
        </message>
    </context>
    <context>
        <name>SettingsPage</name>
        <message>
            <source>Settings</source>
            <translation>設定</translation>
        </message>
        <message>
            <source>Backup &amp; restore</source>
            <translation>バックアップと復元</translation>
        </message>
        <message>
            <source>Reset defaults</source>
            <translation>既定値に戻す</translation>
        </message>
        <message>
            <source>Back up now</source>
            <translation>今すぐバックアップ</translation>
        </message>
        <message>
            <source>Reset restores display and DSP defaults (stop the session first); backup writes the current settings to the Documents folder.</source>
            <translation>リセットは表示と DSP の既定値を復元します（先にセッションを停止してください）。バックアップは現在の設定を「ドキュメント」フォルダーに書き出します。</translation>
        </message>
        <message>
            <source>Recording</source>
            <translation>録音</translation>
        </message>
        <message>
            <source>Max duration</source>
            <translation>最大時間</translation>
        </message>
        <message>
            <source>s</source>
            <translation>秒</translation>
        </message>
        <message>
            <source>A recording stops and saves automatically once it reaches this limit (1-120 s).</source>
            <translation>録音はこの上限（1～120 秒）に達すると自動的に停止して保存されます。</translation>
        </message>
        <message>
            <source>About</source>
            <translation>情報</translation>
        </message>
        <message>
            <source>Profile: </source>
            <translation>プロファイル: </translation>
        </message>
        <message>
            <source>none</source>
            <translation>なし</translation>
        </message>
    </context>
    <context>
        <name>SpectrumPage</name>
        <message>
            <source>Spectrum</source>
            <translation>スペクトル</translation>
        </message>
    </context>
    <context>
        <name>AnalysisPage</name>
        <message>
            <source>Auto (3τ)</source>
            <translation>自動 (3τ)</translation>
        </message>
        <message>
            <source>Measurement input</source>
            <translation>測定入力</translation>
        </message>
        <message>
            <source>Select one in Measurements</source>
            <translation>「測定」で選択してください</translation>
        </message>
        <message>
            <source>Analysis always starts from an immutable Measurement.</source>
            <translation>解析は常に変更不可の測定から始まります。</translation>
        </message>
        <message>
            <source>Frozen: %1</source>
            <translation>固定：%1</translation>
        </message>
        <message>
            <source>ANALYSIS RUNS</source>
            <translation>解析ラン</translation>
        </message>
        <message>
            <source>No AnalysisRun yet
Create the first full recompute</source>
            <translation>解析ランはまだありません
最初の完全再計算を作成してください</translation>
        </message>
        <message>
            <source>Select a Measurement first</source>
            <translation>先に測定を選択してください</translation>
        </message>
        <message>
            <source>invalid</source>
            <translation>無効</translation>
        </message>
        <message>
            <source>%1 · %2 bins · frame %3/%4 · grid %5°</source>
            <translation>%1 · %2 ビン · フレーム %3/%4 · グリッド %5°</translation>
        </message>
        <message>
            <source>peak %1° / %2° · %3 dB · %4 · %5</source>
            <translation>ピーク %1° / %2° · %3 dB · %4 · %5</translation>
        </message>
        <message>
            <source>map saved</source>
            <translation>マップ保存済み</translation>
        </message>
        <message>
            <source>metadata only</source>
            <translation>メタデータのみ</translation>
        </message>
        <message>
            <source>%1 recompute</source>
            <translation>%1 再計算</translation>
        </message>
        <message>
            <source>legacy run</source>
            <translation>旧形式のラン</translation>
        </message>
        <message>
            <source>Analysis result</source>
            <translation>解析結果</translation>
        </message>
        <message>
            <source>Unsaved result - save to keep it</source>
            <translation>未保存の結果 - 残すには保存してください</translation>
        </message>
        <message>
            <source>Each run keeps its own map and provenance</source>
            <translation>各ランは独自のマップと来歴を保持します</translation>
        </message>
        <message>
            <source>Create or select an AnalysisRun</source>
            <translation>解析ランを作成または選択してください</translation>
        </message>
        <message>
            <source>Select a Measurement</source>
            <translation>測定を選択してください</translation>
        </message>
        <message>
            <source>Full recompute uses the Measurement's frozen Profile</source>
            <translation>完全再計算は測定の固定プロファイルを使用します</translation>
        </message>
        <message>
            <source>Spectrum - analysis window</source>
            <translation>スペクトル - 解析ウィンドウ</translation>
        </message>
        <message>
            <source>Averaged over the whole Measurement - click the spectrum to set the centre frequency</source>
            <translation>測定全体で平均 - スペクトルをクリックして中心周波数を設定</translation>
        </message>
        <message>
            <source>Full Recompute</source>
            <translation>完全再計算</translation>
        </message>
        <message>
            <source>Full recompute from raw measurement data</source>
            <translation>生の測定データから完全再計算</translation>
        </message>
        <message>
            <source>ALGORITHM</source>
            <translation>アルゴリズム</translation>
        </message>
        <message>
            <source>BAND</source>
            <translation>バンド</translation>
        </message>
        <message>
            <source>BANDWIDTH HZ</source>
            <translation>帯域幅 HZ</translation>
        </message>
        <message>
            <source>CENTER (HZ)</source>
            <translation>中心 (HZ)</translation>
        </message>
        <message>
            <source>Window</source>
            <translation>ウィンドウ</translation>
        </message>
        <message>
            <source>Whole measurement</source>
            <translation>測定全体</translation>
        </message>
        <message>
            <source>Advanced parameters</source>
            <translation>詳細パラメータ</translation>
        </message>
        <message>
            <source>Computing…</source>
            <translation>計算中…</translation>
        </message>
        <message>
            <source>Create AnalysisRun</source>
            <translation>解析ランを作成</translation>
        </message>
        <message>
            <source>FRAME</source>
            <translation>フレーム</translation>
        </message>
        <message>
            <source>HOP</source>
            <translation>ホップ</translation>
        </message>
        <message>
            <source>GRID STEP</source>
            <translation>グリッド間隔</translation>
        </message>
        <message>
            <source>FOCUS</source>
            <translation>フォーカス</translation>
        </message>
        <message>
            <source>Air temp %1 °C · %2 m/s</source>
            <translation>気温 %1 °C · %2 m/s</translation>
        </message>
        <message>
            <source>Confidence %1 dB</source>
            <translation>信頼度 %1 dB</translation>
        </message>
        <message>
            <source>Range %1 dB</source>
            <translation>範囲 %1 dB</translation>
        </message>
        <message>
            <source>Level gate %1 dBFS</source>
            <translation>レベルゲート %1 dBFS</translation>
        </message>
        <message>
            <source>Colormap</source>
            <translation>カラーマップ</translation>
        </message>
        <message>
            <source>Style</source>
            <translation>スタイル</translation>
        </message>
        <message>
            <source>Scale</source>
            <translation>スケール</translation>
        </message>
        <message>
            <source>Alpha %1%</source>
            <translation>不透明度 %1%</translation>
        </message>
        <message>
            <source>Contour</source>
            <translation>等高線</translation>
        </message>
        <message>
            <source>Contour + fill</source>
            <translation>等高線 + 塗りつぶし</translation>
        </message>
        <message>
            <source>Peak cross</source>
            <translation>ピーク十字</translation>
        </message>
        <message>
            <source>Fill</source>
            <translation>塗りつぶし</translation>
        </message>
        <message>
            <source>Fixed dBFS</source>
            <translation>固定 dBFS</translation>
        </message>
        <message>
            <source>Auto peak</source>
            <translation>自動ピーク</translation>
        </message>
        <message>
            <source>Unsaved analysis result</source>
            <translation>未保存の解析結果</translation>
        </message>
        <message>
            <source>Computed results are only kept in memory until you save them. Saving writes an immutable AnalysisRun to the Measurement.</source>
            <translation>計算結果は保存するまでメモリ上にのみ保持されます。保存すると変更不可の解析ランが測定に書き込まれます。</translation>
        </message>
        <message>
            <source>Save analysis result</source>
            <translation>解析結果を保存</translation>
        </message>
        <message>
            <source>Discard</source>
            <translation>破棄</translation>
        </message>
        <message>
            <source>params  %1</source>
            <translation>パラメータ  %1</translation>
        </message>
        <message>
            <source>Immutable run · Measurement RAW was hash-checked before and after recompute</source>
            <translation>変更不可のラン · 再計算の前後で測定 RAW のハッシュを確認済み</translation>
        </message>
        <message>
            <source>Export CSV + profile manifest</source>
            <translation>CSV + プロファイルマニフェストをエクスポート</translation>
        </message>
        <message>
            <source>the unsaved result</source>
            <translation>未保存の結果</translation>
        </message>
        <message>
            <source>Live holds the map: %1 shows as soon as Live stops</source>
            <translation>ライブがマップを使用中です。ライブが停止するとすぐに %1 を表示します</translation>
        </message>
        <message>
            <source>The Replay holds the map: %1 shows as soon as it stops</source>
            <translation>リプレイがマップを使用中です。停止するとすぐに %1 を表示します</translation>
        </message>
        <message>
            <source>%1 has no saved map</source>
            <translation>%1 には保存されたマップがありません</translation>
        </message>
        <message>
            <source>full recompute</source>
            <translation>完全再計算</translation>
        </message>
    </context>
</TS>
